#pragma once

#include <cstdint>
#include <functional>

#include "pipeline/au_input.h"

namespace murmex {

// Input serving PCM from a block of memory owned by the caller. When the block has been
// served RepeatCount times, OnBufferDone runs on the reading (worker) thread inside the read,
// with the input's lock held; the handler puts the next block in place (SetBufferBytes, then
// StartInput) or ends the input by leaving BufferBytes at 0.
class TMemoryIn : public TAuInput {
public:
    using TOnBufferDone = std::function<void(TMemoryIn& sender)>;

    // 16 when the stored value is not 8, 16, 24 or 32.
    unsigned InBitsPerSample() override;
    unsigned InChannels() override;
    // The caller's rate, unchanged: a writer takes it, resamples to a rate its format can
    // hold, or refuses it; it never declares a rate the samples are not at.
    unsigned InSampleRate() override;
    void SetInBitsPerSample(unsigned bits) { FBitsPerSample = bits; }
    void SetInChannels(unsigned channels) { FChannels = channels; }
    void SetInSampleRate(unsigned rate) { FSampleRate = rate; }

    int32_t RepeatCount() const { return FRepeatCount; }
    void SetRepeatCount(int32_t count) { FRepeatCount = count; }

    // The caller's block: never allocated, copied or freed here. BufferBytes must not exceed
    // the block nor be negative; a new size applies from the next StartInput.
    void* BufferPointer() const { return FBufferPointer; }
    void SetBufferPointer(void* block) { FBufferPointer = static_cast<uint8_t*>(block); }
    int64_t BufferBytes() const { return FBufferBytes; }
    void SetBufferBytes(int64_t bytes) { FBufferBytes = bytes; }

    TOnBufferDone OnBufferDone;

protected:
    void StartImpl() override;
    void FinishImpl() override;
    void ReadImpl(const uint8_t*& buffer, std::size_t& bytes) override;

private:
    unsigned FBitsPerSample = 16;
    unsigned FChannels = 2;
    unsigned FSampleRate = 44100;
    int32_t FRepeatCount = 1;
    uint8_t* FBufferPointer = nullptr;
    int64_t FBufferBytes = 0;
    bool Opened = false;
    uint32_t ReadOffset = 0;
    uint32_t ServeLimit = 0;
};

}  // namespace murmex
