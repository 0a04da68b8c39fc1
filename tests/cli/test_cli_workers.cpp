// The pieces under the batch: the worker pool, the stream to standard output and the naming of
// standard input's copy.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "cli/stdin_spool.h"
#include "cli/stdout_relay.h"
#include "cli/worker_pool.h"
#include "tests/export/wav_test_files.h"

namespace murmex {
namespace {

using namespace murmex::testing;

class Recorder : public WorkerPool::Listener {
public:
    void OnChannelLine(std::size_t task, const std::string& line) override { Channel[task] += line + "|"; }
    void OnErrorLine(std::size_t task, const std::string& line) override { Errors[task] += line + "|"; }
    void OnOutput(std::size_t task, const std::string& bytes) override { Output[task] += bytes; }
    void OnEnd(std::size_t task, const WorkerEnd& end) override { Ends[task] = end; }
    std::map<std::size_t, std::string> Channel, Errors, Output;
    std::map<std::size_t, WorkerEnd> Ends;
};

TEST(WorkerPool, ReportsHowEachWorkerEndedAndWhatItSaid) {
    struct Case {
        const char* name;
        WorkerPool::Body body;
        WorkerEnd::Kind how;
        int exitCode, signal;
        std::string channel, errors, output;
    };
    const auto say = [](int fd, const char* text) { return ::write(fd, text, std::strlen(text)) > 0; };
    const Case cases[] = {
        {"exits with its status, lines and output relayed",
         [&](int fd) { say(fd, "{\"a\":1}\n{\"b\""); say(STDERR_FILENO, "one\ntwo"); say(STDOUT_FILENO, "raw"); return 3; },
         WorkerEnd::Kind::Exited, 3, 0, "{\"a\":1}|{\"b\"|", "one|two|", "raw"},
        {"killed by a signal", [](int) { return ::raise(SIGKILL); }, WorkerEnd::Kind::Crashed, 0, SIGKILL, "", "", ""},
        {"ignores the polite stop, then is killed", [](int) {
             ::signal(SIGTERM, SIG_IGN);
             for (;;) ::pause();
             return 0;
         },
         WorkerEnd::Kind::TimedOut, 0, SIGKILL, "", "", ""},
        {"stops when asked at the time limit", [](int) { ::pause(); return 0; }, WorkerEnd::Kind::TimedOut, 0, SIGTERM,
         "", "", ""},
    };
    Recorder recorder;
    WorkerPool pool(4, 0.3, recorder);
    for (std::size_t i = 0; i < std::size(cases); ++i) ASSERT_TRUE(pool.Start(i, cases[i].body, false)) << pool.Error();
    EXPECT_FALSE(pool.HasRoom());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pool.Idle() && std::chrono::steady_clock::now() < deadline) pool.Serve(std::chrono::milliseconds(20));
    ASSERT_TRUE(pool.Idle());
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        ASSERT_EQ(recorder.Ends.count(i), 1u);
        const WorkerEnd& end = recorder.Ends[i];
        EXPECT_EQ(end.How, c.how);
        EXPECT_EQ(end.ExitCode, c.exitCode);
        EXPECT_EQ(end.Signal, c.signal);
        EXPECT_GT(end.PeakKiB, 0);
        EXPECT_EQ(recorder.Channel[i], c.channel);
        EXPECT_EQ(recorder.Errors[i], c.errors);
        EXPECT_EQ(recorder.Output[i], c.output);
    }
}

// A WAV header with `chunks` (id, size) before the data chunk, sizes as a writer announces them.
std::vector<uint8_t> Header(const std::vector<std::pair<std::string, uint32_t>>& chunks, uint32_t dataSize) {
    std::vector<uint8_t> h = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    const auto le32 = [&h](uint32_t v) { for (int i = 0; i < 4; ++i) h.push_back(static_cast<uint8_t>(v >> (8 * i))); };
    for (const auto& [id, size] : chunks) {
        h.insert(h.end(), id.begin(), id.end());
        le32(size);
        h.insert(h.end(), size + (size & 1), 0x11);
    }
    h.insert(h.end(), {'d', 'a', 't', 'a'});
    le32(dataSize);
    std::memcpy(h.data() + 4, &dataSize, 4);
    return h;
}

// The writer's file grows in steps, the relay pumps between them; at the end the writer goes
// back to correct the sizes, which the stream must not repeat.
TEST(StdoutRelay, StreamsTheFileAsItGrowsWithUnknownSizes) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, uint32_t>> chunks;
        std::size_t firstStep;  // bytes written before the first pump: maybe not the whole header
    };
    const Case cases[] = {
        {"PCM header", {{"fmt ", 16}}, 44},
        {"extensible header, written in two parts", {{"fmt ", 40}}, 30},
        {"odd-sized chunk before the data", {{"fmt ", 16}, {"LIST", 27}}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        const std::vector<uint8_t> data(3'000'000, 0);
        std::vector<uint8_t> file = Header(c.chunks, static_cast<uint32_t>(data.size()));
        const std::size_t dataStart = file.size();
        for (std::size_t i = 0; i < data.size(); ++i) file.push_back(static_cast<uint8_t>(i * 7));
        const int writer = ::open((dir / "w.wav").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int sink = ::open((dir / "sent.wav").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_TRUE(writer >= 0 && sink >= 0);
        StdoutRelay relay(dir / "w.wav", sink);
        EXPECT_TRUE(relay.Pump());  // nothing written yet
        for (std::size_t at = 0, step = c.firstStep; at < file.size(); at += step, step = 700'001) {
            const std::size_t n = std::min(step, file.size() - at);
            ASSERT_EQ(::pwrite(writer, file.data() + at, n, static_cast<off_t>(at)), static_cast<ssize_t>(n));
            EXPECT_TRUE(relay.Pump());
        }
        const uint32_t patched = 12345;
        ASSERT_EQ(::pwrite(writer, &patched, 4, 4), 4);
        EXPECT_TRUE(relay.Pump());
        ::close(writer);
        ::close(sink);
        const auto sent = ReadFile(dir.path() / "sent.wav");
        ASSERT_EQ(sent.size(), file.size());
        EXPECT_EQ(GetLe32(sent, 4), 0xFFFFFFFFu);
        EXPECT_EQ(GetLe32(sent, dataStart - 4), 0xFFFFFFFFu);
        EXPECT_TRUE(std::equal(sent.begin() + 8, sent.begin() + static_cast<long>(dataStart) - 4, file.begin() + 8));
        EXPECT_TRUE(std::equal(sent.begin() + static_cast<long>(dataStart), sent.end(), file.begin() + static_cast<long>(dataStart)));
    }
}

TEST(StdoutRelay, AReaderThatGoesAwayIsAnError) {
    TempFolder dir;
    const auto file = Header({{"fmt ", 16}}, 4);
    std::ofstream(dir / "w.wav", std::ios::binary).write(reinterpret_cast<const char*>(file.data()), static_cast<long>(file.size()));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ::close(pipeFds[0]);
    const auto previous = ::signal(SIGPIPE, SIG_IGN);
    StdoutRelay relay(dir / "w.wav", pipeFds[1]);
    EXPECT_FALSE(relay.Pump());
    EXPECT_EQ(relay.Error(), std::strerror(EPIPE));
    EXPECT_FALSE(relay.Pump());
    ::signal(SIGPIPE, previous);
    ::close(pipeFds[1]);
}

TEST(StdinSpool, NamesTheCopyByItsFirstBytes) {
    using namespace std::string_literals;
    const std::pair<std::string, std::string> cases[] = {
        {"RIFF\x24\0\0\0WAVE"s, ".wav"},  {"RF64....WAVE"s, ".wav"}, {"OggS\0\x02"s, ".ogg"},
        {"fLaC\0\0\0\x22"s, ".flac"},       {"ID3\x04\0"s, ".mp3"},     {"\xFF\xFB\x90\x64"s, ".mp3"},
        {"\x30\x26\xB2\x75\x8E\x66\xCF\x11"s, ".wma"}, {"\x1A\x45\xDF\xA3"s, ""}, {"RIF"s, ""}, {""s, ""},
    };
    for (const auto& [head, extension] : cases) {
        EXPECT_EQ(StdinSpool::ExtensionFor(reinterpret_cast<const unsigned char*>(head.data()), head.size()), extension)
            << head;
    }
}

}  // namespace
}  // namespace murmex
