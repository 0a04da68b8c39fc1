#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pipeline/au_exception.h"
#include "pipeline/au_input.h"
#include "pipeline/au_output.h"
#include "pipeline/au_stream.h"
#include "pipeline/little_endian.h"
#include "pipeline/main_thread_queue.h"

namespace murmex::test {

// A folder of its own for each test, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::filesystem::path File(const std::string& name) const { return Path / name; }

private:
    std::filesystem::path Path;
};

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
inline uint32_t Le32At(const std::vector<uint8_t>& bytes, std::size_t at) { return GetLe32(bytes.data() + at); }
inline uint16_t Le16At(const std::vector<uint8_t>& bytes, std::size_t at) { return GetLe16(bytes.data() + at); }

// Counts an output's events and lets the test thread (the main thread) wait for them.
struct EventLog {
    int Done = 0;
    int Exceptions = 0;
    std::vector<int> Progress;
    std::vector<char> Order;  // 'P', 'E', 'D' in delivery order

    void Attach(TAuOutput& output);
    // Runs queued main-thread calls until OnDone has been delivered `count` times in all.
    void WaitForDone(int count = 1);
};

// Starts `output` and waits, as the main thread, until its OnDone has been delivered.
void RunToDone(TAuOutput& output, EventLog& log);

// Serves `total` bytes of a repeating pattern in pieces of at most `chunk` bytes while
// announcing `announced` as its size; can be told to fail at a given read.
class PatternInput : public TAuInput {
public:
    PatternInput(int64_t total, int64_t announced, unsigned channels = 2, unsigned rate = 44100,
                 unsigned bits = 16);
    unsigned InBitsPerSample() override { return Bits; }
    unsigned InChannels() override { return Channels; }
    unsigned InSampleRate() override { return Rate; }
    int FailAtRead = -1;  // the read (counted from 0) that raises instead of serving
    static uint8_t ByteAt(int64_t offset) { return static_cast<uint8_t>(offset * 7 + 3); }

protected:
    void StartImpl() override;
    void FinishImpl() override {}
    void ReadImpl(const uint8_t*& buffer, std::size_t& bytes) override;

private:
    int64_t Total;
    int64_t Announced;
    unsigned Channels, Rate, Bits;
    int64_t Served = 0;
    int Reads = 0;
    std::vector<uint8_t> Chunk;
};

// A stream in memory that can pretend to be larger than it is (for size fields beyond 32
// bits) and can refuse writes beyond a limit, like a full disk.
class MemoryStream : public TAuStream {
public:
    std::vector<uint8_t> Bytes;
    int64_t PretendExtra = 0;   // added to the size the stream reports
    int64_t WriteLimit = -1;    // writes ending beyond this many bytes fail

    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Position() override { return Pos; }
    int64_t Size() override { return static_cast<int64_t>(Bytes.size()) + PretendExtra; }

private:
    int64_t Pos = 0;
};

}  // namespace murmex::test
