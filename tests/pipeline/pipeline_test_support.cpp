#include "tests/pipeline/pipeline_test_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace murmex::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "murmex-pipeline-XXXXXX").string();
    Path = ::mkdtemp(pattern.data());
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
}

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void EventLog::Attach(TAuOutput& output) {
    output.OnDone = [this](TAuOutput&) {
        ++Done;
        Order.push_back('D');
    };
    output.OnThreadException = [this](TAuOutput&) {
        ++Exceptions;
        Order.push_back('E');
    };
    output.OnProgress = [this](TAuOutput& sender) {
        Progress.push_back(sender.ProgressPercent());
        Order.push_back('P');
    };
}

void EventLog::WaitForDone(int count) {
    MainThreadQueue::Instance().DrainUntil([&] { return Done >= count; });
}

void RunToDone(TAuOutput& output, EventLog& log) {
    const int before = log.Done;
    output.Start();
    log.WaitForDone(before + 1);
}

PatternInput::PatternInput(int64_t total, int64_t announced, unsigned channels, unsigned rate,
                           unsigned bits)
    : Total(total), Announced(announced), Channels(channels), Rate(rate), Bits(bits), Chunk(4096) {}

void PatternInput::StartImpl() {
    Served = 0;
    Reads = 0;
    FReadPosition = 0;
    FStreamSize = Announced;
}

void PatternInput::ReadImpl(const uint8_t*& buffer, std::size_t& bytes) {
    if (Reads++ == FailAtRead) throw EAuException("Read failed");
    bytes = static_cast<std::size_t>(std::min<int64_t>({static_cast<int64_t>(bytes), Total - Served,
                                                        static_cast<int64_t>(Chunk.size())}));
    for (std::size_t i = 0; i < bytes; ++i) Chunk[i] = ByteAt(Served + static_cast<int64_t>(i));
    buffer = bytes > 0 ? Chunk.data() : nullptr;
    Served += static_cast<int64_t>(bytes);
    FReadPosition += static_cast<int64_t>(bytes);
}

std::size_t MemoryStream::Read(void* buffer, std::size_t count) {
    const auto available = static_cast<int64_t>(Bytes.size()) - Pos;
    const auto n = static_cast<std::size_t>(std::clamp<int64_t>(available, 0, static_cast<int64_t>(count)));
    if (n > 0) std::memcpy(buffer, Bytes.data() + Pos, n);  // an empty vector's data() may be null
    Pos += static_cast<int64_t>(n);
    return n;
}

void MemoryStream::Write(const void* buffer, std::size_t count) {
    const int64_t end = Pos + static_cast<int64_t>(count);
    if (WriteLimit >= 0 && end > WriteLimit) throw EAuException("No space left on device");
    if (end > static_cast<int64_t>(Bytes.size())) Bytes.resize(static_cast<std::size_t>(end));
    if (count > 0) std::memcpy(Bytes.data() + Pos, buffer, count);
    Pos = end;
}

int64_t MemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? Pos : Size();
    Pos = std::min<int64_t>(base + offset, static_cast<int64_t>(Bytes.size()));
    return Pos;
}

}  // namespace murmex::test
