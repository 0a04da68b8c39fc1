#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace murmex {

// Abstract pipeline input. An output's worker pulls PCM through GetBlock/CopyBlock/FillBlock;
// starting, finishing and every read are serialised by a re-entrant lock, so a callback that
// runs inside a read (the memory input's refill) may start the input again on the same thread.
class TAuInput {
public:
    TAuInput() = default;
    virtual ~TAuInput() = default;
    TAuInput(const TAuInput&) = delete;
    TAuInput& operator=(const TAuInput&) = delete;

    virtual unsigned InBitsPerSample() = 0;
    virtual unsigned InChannels() = 0;
    virtual unsigned InSampleRate() = 0;
    virtual double TotalTime() { return 0.0; }
    virtual int64_t TotalSamples() { return 0; }

    // Get ready to serve from the beginning; a failure raises EAuException with the inner
    // message and leaves StartFailed set.
    void StartInput();
    void FinishInput();
    // On entry `bytes` is the most wanted; on return `buffer` points into the input's own
    // storage and `bytes` says how many are valid (0 = end of input).
    virtual void GetBlock(const uint8_t*& buffer, std::size_t& bytes);
    // FinishInput with errors swallowed: afterwards the input is closed whatever happened.
    virtual void ResetInput();
    // Copies at most `count` bytes to `dest`; returns the bytes delivered (0 = end of input).
    std::size_t CopyBlock(void* dest, std::size_t count);
    // Copies until `count` bytes are there or the input ends; `endOfInput` tells which.
    std::size_t FillBlock(void* dest, std::size_t count, bool& endOfInput);

    // Bytes served since the input was started.
    int64_t ReadPosition() const { return FReadPosition.load(); }
    // Bytes the input will serve in all; -1 = unknown or endless, 0 = nothing.
    int64_t StreamSize() const { return FStreamSize.load(); }
    bool StartFailed() const { return FStartFailed.load(); }

protected:
    virtual void StartImpl() = 0;
    virtual void FinishImpl() = 0;
    virtual void ReadImpl(const uint8_t*& buffer, std::size_t& bytes) = 0;

    std::atomic<int64_t> FReadPosition{0};
    std::atomic<int64_t> FStreamSize{0};

private:
    std::recursive_mutex DataLock;
    std::atomic<bool> FStartFailed{false};
};

}  // namespace murmex
