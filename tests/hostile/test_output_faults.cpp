// Faults on the output side of a save, through the real murmex-cli, in every output format: a full
// disk, a read-only folder, the folder removed or the source cut short while the save runs, and a
// FIFO in the output's place. Each time the user is told (status 1, the file named), nothing
// incomplete is reported as saved, and the source is left as it was.
#include <gtest/gtest.h>
#include <sched.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/export/wav_test_files.h"
#include "tests/hostile/cli_under_limits.h"
#include "tests/hostile/hostile_files.h"

namespace murmex {
namespace {

namespace fs = std::filesystem;
using namespace murmex::testing;
using namespace std::chrono_literals;

enum class Fault { DiskFull, ReadOnlyFolder, FolderRemovedMidSave, SourceCutMidSave, FifoInOutputsPlace };

struct FaultCase {
    Fault Kind;
    std::string Format;
};

std::string FaultName(Fault fault) {
    switch (fault) {
        case Fault::DiskFull: return "DiskFull";
        case Fault::ReadOnlyFolder: return "ReadOnlyFolder";
        case Fault::FolderRemovedMidSave: return "FolderRemovedMidSave";
        case Fault::SourceCutMidSave: return "SourceCutMidSave";
        case Fault::FifoInOutputsPlace: return "FifoInOutputsPlace";
    }
    return "Unknown";
}

void PrintTo(const FaultCase& c, std::ostream* os) { *os << FaultName(c.Kind) << " " << c.Format; }

// A small tmpfs mounted for one test, in the test's private mount namespace.
class TmpfsMount {
public:
    TmpfsMount(const fs::path& at, bool readOnly) : at_(at) {
        if (::mount("tmpfs", at.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, "size=64k") != 0) {
            refusal_ = std::string("mounting a tmpfs was refused: ") + ::strerror(errno);
        }
    }
    ~TmpfsMount() {
        if (refusal_.empty()) ::umount2(at_.c_str(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    const std::string& Refusal() const { return refusal_; }

private:
    fs::path at_;
    std::string refusal_;
};

class OutputFaults : public ::testing::TestWithParam<FaultCase> {
protected:
    // Mounts made by the tests stay in a namespace of their own and vanish with the process.
    static void SetUpTestSuite() {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            namespaceRefusal_ = std::string("no private mount namespace: ") + ::strerror(errno);
        }
    }

    // A noisy stereo source (noise keeps the encoded files large), its bytes kept for comparison.
    fs::path MakeSource(double seconds) {
        const fs::path path = dir_ / "source.wav";
        WriteWav(path, NoisyTone(static_cast<size_t>(44100 * seconds), 2), 44100, 2);
        original_ = ReadBytes(path);
        return path;
    }

    // The file a save writes before it is put in place, beside the output.
    static bool ScratchFileIn(const fs::path& folder) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec))
            if (entry.path().filename().string().rfind(".murmex-", 0) == 0) return true;
        return false;
    }

    // Runs the save, and once it writes its file, stops it, injects the fault and lets it go on.
    ChildOutcome SaveWithFaultMidway(const std::vector<std::string>& args, const fs::path& output,
                                     const std::function<void()>& inject) {
        ChildRun child(MURMEX_CLI_PATH, args, CliLimits(60s));
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (!ScratchFileIn(output.parent_path()) && !child.Ended() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(100us);
        child.Pause();
        if (child.Ended()) {
            ADD_FAILURE() << "the save ended before the fault could be injected";
        } else {
            inject();
            child.Resume();
        }
        return child.Wait();
    }

    static std::string namespaceRefusal_;
    ScratchFolder dir_;
    Bytes original_;
};

std::string OutputFaults::namespaceRefusal_;

TEST_P(OutputFaults, TellsTheUserAndLeavesTheSourceAlone) {
    const FaultCase& c = GetParam();
    const std::string outputName = "out." + c.Format;
    fs::path source;
    fs::path output;
    Bytes expectedSource;
    ChildOutcome outcome;

    switch (c.Kind) {
        case Fault::DiskFull:
        case Fault::ReadOnlyFolder: {
            const bool readOnly = c.Kind == Fault::ReadOnlyFolder;
            const fs::path folder = dir_ / "limited";
            fs::create_directory(folder);
            std::optional<TmpfsMount> mount;
            std::string refusal = namespaceRefusal_;
            if (refusal.empty()) refusal = mount.emplace(folder, readOnly).Refusal();
            ChildLimits limits = CliLimits(30s);
            std::string reason = ::strerror(readOnly ? EROFS : ENOSPC);
            // Without a mount, a file-size limit fails the writes as a full disk would, and a
            // folder without write permission stands in for a read-only one (not for root).
            if (!refusal.empty() && !readOnly) {
                limits.FileSizeBytes = 64 * 1024;
                reason = ::strerror(EFBIG);
            } else if (!refusal.empty()) {
                if (::geteuid() == 0) GTEST_SKIP() << refusal << "; as root, permissions do not stop writes";
                fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
                reason = ::strerror(EACCES);
            }
            source = MakeSource(10.0);
            output = folder / outputName;
            // A full disk must not cost the file the save was to replace.
            const std::string oldTake = "the old take";
            if (!readOnly) std::ofstream(output) << oldTake;
            outcome = ChildRun(MURMEX_CLI_PATH, {"--force", "-o", output.string(), source.string()}, limits).Wait();
            EXPECT_TRUE(Contains(outcome.Err, reason)) << "the reason is not given: " << outcome.Err;
            if (readOnly) {
                EXPECT_FALSE(fs::exists(output)) << "a file appeared in a read-only folder";
            } else {
                const Bytes left = ReadBytes(output);
                EXPECT_EQ(std::string(left.begin(), left.end()), oldTake) << "the old file was touched";
                EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
                    << "a part file stayed beside it";
            }
            break;
        }
        case Fault::FolderRemovedMidSave:
            // Two minutes keep every writer busy long enough to be caught mid-save.
            source = MakeSource(120.0);
            fs::create_directory(dir_ / "going");
            output = dir_ / "going" / outputName;
            outcome = SaveWithFaultMidway({"-o", output.string(), source.string()}, output,
                                          [&] { fs::remove_all(dir_ / "going"); });
            break;
        case Fault::SourceCutMidSave: {
            source = MakeSource(120.0);
            output = dir_ / outputName;
            const size_t keep = original_.size() / 10;
            outcome = SaveWithFaultMidway({"-o", output.string(), source.string()}, output,
                                          [&] { fs::resize_file(source, keep); });
            expectedSource = Truncated(original_, keep);
            EXPECT_TRUE(Contains(outcome.Err, "the source ended early")) << outcome.Err;
            EXPECT_TRUE(fs::exists(output)) << "the part that was saved is lost";
            if (c.Format == "wav") {
                const std::optional<WavFacts> facts = ReadWavFacts(output);
                ASSERT_TRUE(facts.has_value());
                EXPECT_TRUE(facts->SizesMatchFile) << "the shorter file is not a valid one";
            } else {
                const std::optional<AudioFacts> probed = ProbeAudio(output);
                ASSERT_TRUE(probed.has_value()) << "the shorter file cannot be read";
                // The cut leaves a tenth, 12 s; what the decoder had buffered adds little.
                EXPECT_LT(probed->Seconds, 24.0) << "the file holds more than the cut source";
            }
            break;
        }
        case Fault::FifoInOutputsPlace:
            source = MakeSource(2.0);
            output = dir_ / outputName;
            ASSERT_EQ(::mkfifo(output.c_str(), 0644), 0);
            outcome = ChildRun(MURMEX_CLI_PATH, {"--force", "-o", output.string(), source.string()}, CliLimits(15s)).Wait();
            EXPECT_TRUE(fs::is_fifo(output)) << "the FIFO was replaced";
            break;
    }

    ExpectOrderlyEnd(outcome);
    EXPECT_EQ(outcome.ExitCode, 1) << outcome.Describe();
    EXPECT_TRUE(Contains(outcome.Err, outputName)) << "the message does not name the file: " << outcome.Err;
    EXPECT_FALSE(Contains(outcome.Err, " -> ")) << "reported as saved: " << outcome.Err;
    EXPECT_TRUE(ReadBytes(source) == (expectedSource.empty() ? original_ : expectedSource)) << "the source was changed";
}

std::vector<FaultCase> FaultCases() {
    std::vector<FaultCase> cases;
    for (Fault fault : {Fault::DiskFull, Fault::ReadOnlyFolder, Fault::FolderRemovedMidSave, Fault::SourceCutMidSave,
                        Fault::FifoInOutputsPlace}) {
        for (const char* format : {"wav", "mp3", "ogg", "wma"}) cases.push_back({fault, format});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Cli, OutputFaults, ::testing::ValuesIn(FaultCases()),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             return FaultName(info.param.Kind) + "_" + info.param.Format;
                         });

}  // namespace
}  // namespace murmex
