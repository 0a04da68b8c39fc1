// Batches in worker processes: parallel runs, workers that crash or hang, pipes, --json,
// --skip-existing and GNU parallel.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <tuple>

#include "tests/cli/cli_process.h"
#include "tests/export/wav_test_files.h"
#include "tests/fixtures/fixture_paths.h"

namespace murmex {
namespace {

using namespace murmex::testing;
namespace fs = std::filesystem;

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// Sources of different lengths, rates and channel counts, two of them tagged with one title.
std::vector<std::string> MixedSources(const TempFolder& dir) {
    fs::create_directories(dir.path() / "a");
    fs::create_directories(dir.path() / "b");
    WriteWav(dir.path() / "long.wav", NoisyTone(44100 * 4, 2, 7), 44100, 2);
    WriteWav(dir.path() / "mono.wav", NoisyTone(22050 * 3, 1, 8), 22050, 1);
    fs::copy_file(FixturePath("tagged_22050_64k.mp3"), dir.path() / "a" / "tagged.mp3");
    fs::copy_file(FixturePath("tagged_22050_64k.mp3"), dir.path() / "b" / "tagged.mp3");
    return {dir / "long.wav", dir / "a/tagged.mp3", dir / "mono.wav", dir / "b/tagged.mp3"};
}

TEST(CliBatch, ParallelOutputIsByteForByteTheSequentialOne) {
    TempFolder dir;
    const auto sources = MixedSources(dir);
    for (const std::string jobs : {"1", "4"}) {
        std::vector<std::string> args = {"--quiet", "-j", jobs, "-d", dir / ("out" + jobs)};
        args.insert(args.end(), sources.begin(), sources.end());
        fs::create_directory(dir.path() / ("out" + jobs));
        const CliResult r = RunCli(args);
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path() / "out1")) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Band - Song (2).wav", "Band - Song.wav", "long-clean.wav",
                                               "mono-clean.wav"}));
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(ReadFile(dir.path() / "out1" / name) == ReadFile(dir.path() / "out4" / name));
    }
}

// The pids of the workers `parent` is running now.
std::vector<pid_t> Workers(pid_t parent) {
    std::ifstream list("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) + "/children");
    std::vector<pid_t> pids;
    for (pid_t pid; list >> pid;) pids.push_back(pid);
    return pids;
}

#ifdef MURMEX_SANITIZED_CHILD
const std::string kTimeLimit = "20";
#else
const std::string kTimeLimit = "4";
#endif

// One worker is killed by a signal (SIGKILL: a sanitizer would catch any other), one stops
// (hangs) until the time limit: both files are reported with their reason, what they wrote is
// kept under partial names, and the third is saved all the same.
TEST(CliBatch, AWorkerThatCrashesOrHangsCostsOnlyItsFile) {
    TempFolder dir;
    for (const char* name : {"one.wav", "two.wav", "three.wav"})
        WriteWav(dir.path() / name, NoisyTone(44100 * 90, 2, 3), 44100, 2);
    CliProcess cli({"--quiet", "--json", "-j", "3", "--timeout", kTimeLimit, "-d", dir.path().string(),
                    dir / "one.wav", dir / "two.wav", dir / "three.wav"});
    ASSERT_TRUE(WaitForSaves(dir.path(), 3));
    const std::vector<pid_t> workers = Workers(cli.Pid());
    ASSERT_GE(workers.size(), 2u);
    ::kill(workers[0], SIGKILL);
    ::kill(workers[1], SIGSTOP);
    const CliResult r = cli.Wait();
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_TRUE(Contains(r.Err, ": crashed with signal 9")) << r.Err;
    EXPECT_TRUE(Contains(r.Err, ": timed out after " + kTimeLimit + " s")) << r.Err;
    std::istringstream lines(r.Out);
    int saved = 0, failed = 0;
    for (std::string line; std::getline(lines, line);) {
        saved += Contains(line, "\"status\":\"saved\"");
        failed += Contains(line, "\"status\":\"failed\"");
    }
    EXPECT_EQ(saved, 1) << r.Out;
    EXPECT_EQ(failed, 2) << r.Out;
    EXPECT_TRUE(Contains(r.Out, "\"saved\":1") && Contains(r.Out, "\"partial\":2")) << r.Out;
    EXPECT_TRUE(Entries(dir.path(), ".murmex-").empty());
    EXPECT_TRUE(Contains(r.Err, "-clean.wav: incomplete; what was written is kept as " + (dir / ""))) << r.Err;
}

// Ctrl-C, or the terminal closing (SIGHUP), reaches the parent only (the workers have a process
// group of their own); it passes it on once, and every save ends early with a valid file kept
// under its partial name, so that --skip-existing does not take it for finished.
TEST(CliBatch, InterruptCancelsEveryWorkerAndKeepsPartialFiles) {
    for (const int signal : {SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        TempFolder dir;
        for (const char* name : {"one.wav", "two.wav"})
            WriteWav(dir.path() / name, NoisyTone(22050 * 240, 1, name[0]), 22050, 1);
        CliProcess cli({"--quiet", "--json", "-j", "2", "-d", dir.path().string(), dir / "one.wav", dir / "two.wav"});
        ASSERT_TRUE(WaitForSaves(dir.path(), 2));
        cli.Signal(signal);
        const CliResult r = cli.Wait();
        EXPECT_EQ(r.ExitCode, 128 + signal) << r.Err;
        for (const std::string name : {"one-clean", "two-clean"}) {
            EXPECT_TRUE(Contains(r.Err, "cancelled: " + (dir / name) + ".partial.wav is a valid file")) << r.Err;
            EXPECT_TRUE(Contains(r.Out, "\"partial\":\"" + (dir / name) + ".partial.wav\"")) << r.Out;
            ExpectConsistentWav(dir.path() / (name + ".partial.wav"), 0);
            EXPECT_FALSE(fs::exists(dir.path() / (name + ".wav")));
        }
        EXPECT_TRUE(Contains(r.Out, "\"failed\":2") && Contains(r.Out, "\"partial\":2")) << r.Out;
        EXPECT_EQ(Contains(r.Err, "murmex-cli: hangup: every save is cancelled"), signal == SIGHUP) << r.Err;
    }
}

TEST(CliBatch, StandardInputToStandardOutputStreamsTheSameWav) {
    TempFolder dir;
    WriteWav(dir.path() / "in.wav", NoisyTone(44100 * 2, 2), 44100, 2);
    ASSERT_EQ(RunCli({"--quiet", "-o", dir / "file.wav", dir / "in.wav"}).ExitCode, 0);
    const auto file = ReadFile(dir.path() / "file.wav");

    // From and to redirected files: the same bytes, but both sizes unknown.
    const CliResult r = RunCli({"--quiet", "-", "-o", "-"},
                               {"", "exec < " + Quoted(dir / "in.wav") + " > " + Quoted(dir / "streamed.wav")});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const auto streamed = ReadFile(dir.path() / "streamed.wav");
    ASSERT_EQ(streamed.size(), file.size());
    EXPECT_EQ(GetLe32(streamed, 4), 0xFFFFFFFFu);
    EXPECT_EQ(GetLe32(streamed, 40), 0xFFFFFFFFu);
    EXPECT_TRUE(std::equal(streamed.begin() + 44, streamed.end(), file.begin() + 44));

    // Through ffmpeg on both sides, which reads the unknown sizes to the end of the stream.
    std::string pcm;
    const std::string pipeline = "ffmpeg -nostdin -v error -i " + Quoted(dir / "in.wav") + " -f flac - | " +
                                 MURMEX_CLI_PATH + " --quiet - -o - | ffmpeg -v error -f wav -i - -f s16le -";
    std::ofstream(dir / "pipeline.sh") << pipeline;
    ASSERT_EQ(RunShell("bash -o pipefail " + Quoted(dir / "pipeline.sh"), pcm), 0) << pipeline;
    ASSERT_EQ(pcm.size(), file.size() - 44);
    EXPECT_EQ(std::memcmp(pcm.data(), file.data() + 44, pcm.size()), 0);
}

// Refused from its first bytes: an endless stream (which would otherwise be copied until the
// file size limit stops it) is never read to its end.
TEST(CliBatch, StandardInputThatIsNoAudioIsRefusedWithTheReason) {
    TempFolder dir;
    std::ofstream(dir / "film.mkv") << "\x1A\x45\xDF\xA3 matroska";
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/null", "standard input: nothing was read (the input is empty)"},
        {dir / "film.mkv", "standard input: not WAV, MP3, Ogg Vorbis, WMA or FLAC (convert it on the way"},
        {"/dev/zero", "standard input: not WAV, MP3, Ogg Vorbis, WMA or FLAC"},
    };
    for (const auto& [source, said] : cases) {
        const CliResult r = RunCli({"--quiet", "-", "-o", dir / "out.wav"},
                                   {"", "trap '' XFSZ; ulimit -f 100; exec < " + Quoted(source)});
        EXPECT_EQ(r.ExitCode, 1) << r.Err;
        EXPECT_TRUE(Contains(r.Err, said)) << r.Err;
        EXPECT_FALSE(fs::exists(dir.path() / "out.wav"));
    }
}

// Scratch files in $TMPDIR go whatever ends the run: a signal while standard input is copied,
// a -o - worker killed or interrupted twice.
TEST(CliBatch, ScratchFilesGoWhateverEndsTheRun) {
    struct Case {
        const char* name;
        std::vector<std::string> args;  // after "--quiet", "@" for the case's folder
        std::string scratch;
        std::function<void(CliProcess&)> end;
        int exitCode;
    };
    const auto signal = [](int sig, int times) { return [=](CliProcess& cli) { for (int i = 0; i < times; ++i) cli.Signal(sig); }; };
    const auto killWorkers = [](CliProcess& cli) { for (const pid_t worker : Workers(cli.Pid())) ::kill(worker, SIGKILL); };
    const Case cases[] = {
        {"SIGINT copying standard input", {"-", "-o", "@out.wav"}, "murmex-stdin-", signal(SIGINT, 1), 130},
        {"SIGTERM copying standard input", {"-", "-o", "@out.wav"}, "murmex-stdin-", signal(SIGTERM, 1), 143},
        {"SIGHUP copying standard input", {"-", "-o", "@out.wav"}, "murmex-stdin-", signal(SIGHUP, 1), 129},
        {"-o -, its worker killed", {"@long.wav", "-o", "-"}, "murmex-stdout-", killWorkers, 1},
        {"-o -, interrupted twice", {"@long.wav", "-o", "-"}, "murmex-stdout-", signal(SIGINT, 2), 130},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        WriteWav(dir.path() / "long.wav", NoisyTone(22050 * 240, 1), 22050, 1);
        // Held open and never written: the copy of standard input waits for more.
        ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
        const int fifo = ::open((dir / "fifo").c_str(), O_RDWR);
        std::vector<std::string> args = {"--quiet"};
        for (const std::string& arg : c.args) args.push_back(arg[0] == '@' ? dir / arg.substr(1) : arg);
        CliProcess cli(args, {"", "export TMPDIR=" + Quoted(dir.path()) + "; exec < " + Quoted(dir / "fifo") + " > /dev/null"});
        ASSERT_TRUE(WaitForEntries(dir.path(), c.scratch));
        if (c.scratch == "murmex-stdout-") {
            ASSERT_TRUE(WaitForSaves(Entries(dir.path(), c.scratch)[0]));
        }
        c.end(cli);
        // Should the signal not be answered, the end of standard input is.
        ::close(fifo);
        const CliResult r = cli.Wait();
        EXPECT_EQ(r.ExitCode, c.exitCode) << r.Err;
        EXPECT_TRUE(Entries(dir.path(), c.scratch).empty()) << r.Err;
    }
}

// A worker that cannot start (too many open files) waits until a running one has ended; when
// none runs, the batch says why and stops, instead of failing every file that is left.
TEST(CliBatch, AWorkerThatCannotStartWaitsForAFreeSlot) {
    // Open files allowed: standard input, output and error, 3 for each worker and 6 to start one.
    const std::tuple<int, int, std::vector<std::string>> cases[] = {
        {9, 0, {"murmex-cli: 3 files: 3 saved"}},
        {8, 1, {"a.wav: cannot make a pipe for a worker: Too many open files; the batch stops",
                "b.wav: not started (the batch stopped)", "murmex-cli: 3 files: 2 cancelled, 1 failed"}},
    };
    for (const auto& [openFiles, exitCode, said] : cases) {
        TempFolder dir;
        for (const char* name : {"a.wav", "b.wav", "c.wav"}) WriteWav(dir.path() / name, NoisyTone(8000, 1), 22050, 1);
        const CliResult r = RunCli({"-j", "3", "-d", dir / "out", dir / "a.wav", dir / "b.wav", dir / "c.wav"},
                                   {"", "ulimit -n " + std::to_string(openFiles)});
        EXPECT_EQ(r.ExitCode, exitCode) << r.Err;
        for (const std::string& text : said) EXPECT_TRUE(Contains(r.Err, text)) << text << " in: " << r.Err;
    }
}

// --json's records, read by Python's json module, against the files on disk.
TEST(CliBatch, JsonRecordsParseAndMatchTheFilesWritten) {
    TempFolder dir;
    WriteWav(dir.path() / "a.wav", NoisyTone(44100, 1), 44100, 1);
    WriteWav(dir.path() / "b.wav", NoisyTone(22050 * 3, 2), 22050, 2);
    const std::string check = R"PY(
import json, os, sys
lines = sys.stdin.read().splitlines()
records, summary = [json.loads(l) for l in lines[:-1]], json.loads(lines[-1])["summary"]
assert [os.path.basename(r["input"]) for r in records] == ["a.wav", "missing.wav", "b.wav"], records
a, missing, b = records
for r, seconds in ((a, 1.0), (b, 3.0)):
    assert r["status"] == "saved" and os.path.getsize(r["output"]) > 44, r
    assert abs(r["seconds"] - seconds) < 1e-6 and r["wall_seconds"] > 0, r
    assert r["settings"]["format"] == "mp3" and r["settings"]["kbps"] == 128 and r["settings"]["bias"] == -3, r
assert missing["status"] == "failed" and "no such file" in missing["message"] and missing["output"] is None, missing
assert summary["files"] == 3 and summary["saved"] == 2 and summary["failed"] == 1, summary
assert sorted(os.listdir(sys.argv[1])) == ["a-clean.mp3", "b-clean.mp3"]
)PY";
    std::ofstream(dir / "check.py") << check;
    fs::create_directory(dir.path() / "out");
    std::string out;
    const std::string command = std::string(MURMEX_CLI_PATH) + " --json -f mp3 -b 128 --bias -3 -d " +
                                Quoted(dir / "out") + " " + Quoted(dir / "a.wav") + " " + Quoted(dir / "missing.wav") +
                                " " + Quoted(dir / "b.wav") + " 2>/dev/null | python3 " + Quoted(dir / "check.py") +
                                " " + Quoted(dir / "out") + " 2>&1";
    EXPECT_EQ(RunShell(command, out), 0) << out;
}

TEST(CliBatch, SkipExistingResumesABatch) {
    TempFolder dir;
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) WriteWav(dir.path() / name, NoisyTone(8000, 1), 22050, 1);
    fs::create_directory(dir.path() / "out");
    std::ofstream(dir / "out/b-clean.wav") << "done before";
    const CliResult r = RunCli({"--skip-existing", "--json", "-d", dir / "out", dir / "a.wav", dir / "b.wav", dir / "c.wav"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(Contains(r.Err, "out/b-clean.wav: exists; skipped")) << r.Err;
    EXPECT_TRUE(Contains(r.Err, "murmex-cli: 3 files: 2 saved, 1 skipped\n")) << r.Err;
    EXPECT_TRUE(Contains(r.Out, "\"skipped\":1")) << r.Out;
    EXPECT_TRUE(Contains(r.Out, "\"saved\":2")) << r.Out;
    EXPECT_EQ(ReadFile(dir.path() / "out/b-clean.wav").size(), 11u);
    ExpectConsistentWav(dir.path() / "out/a-clean.wav", 16000 + 2048);
    ExpectConsistentWav(dir.path() / "out/c-clean.wav", 16000 + 2048);
}

// The README's route to many machines, with this machine as the only one (-S :).
TEST(CliBatch, GnuParallelRunsOneCommandPerShard) {
    std::string version;
    if (RunShell("parallel --version 2>/dev/null", version) != 0) GTEST_SKIP() << "GNU parallel is not installed";
    TempFolder dir;
    fs::create_directory(dir.path() / "out");
    std::string command = "cd " + Quoted(dir.path().string()) + " && parallel --will-cite -S : -j 2 " +
                          MURMEX_CLI_PATH + " --quiet --json -d out {} :::";
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
        WriteWav(dir.path() / name, NoisyTone(8000, 1, name[0]), 22050, 1);
        command += std::string(" ") + name;
    }
    std::string out;
    ASSERT_EQ(RunShell(command, out), 0) << out;
    std::istringstream lines(out);
    int saved = 0;
    for (std::string line; std::getline(lines, line);) saved += Contains(line, "\"status\":\"saved\"");
    EXPECT_EQ(saved, 3) << out;
    for (const char* name : {"a-clean.wav", "b-clean.wav", "c-clean.wav"})
        ExpectConsistentWav(dir.path() / "out" / name, 16000 + 2048);
}

}  // namespace
}  // namespace murmex
