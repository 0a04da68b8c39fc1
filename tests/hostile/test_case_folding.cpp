// Saves onto an exFAT file system, which folds case and, through FUSE, numbers one file
// differently under each spelling: no spelling of an input is ever written, and two outputs of one
// batch never become one file. Needs root (a loop device and a FUSE mount); skipped otherwise.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/hostile/cli_under_limits.h"
#include "tests/hostile/hostile_files.h"

namespace murmex {
namespace {

namespace fs = std::filesystem;
using namespace murmex::testing;
using namespace std::chrono_literals;

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

class CaseFolding : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "mounting an exFAT image needs root";
        image_ = scratch_ / "exfat.img";
        mount_ = scratch_ / "exfat";
        fs::create_directory(mount_);
        // FUSE's exFAT wants a block device: the image goes on a loop device first.
        if (Shell("truncate -s 16M " + Quoted(image_)) && Shell("mkfs.exfat " + Quoted(image_))) {
            if (FILE* found = ::popen(("losetup -f --show " + Quoted(image_) + " 2>/dev/null").c_str(), "r")) {
                char line[256] = {};
                if (std::fgets(line, sizeof line, found) != nullptr) loop_ = std::string(line, std::strcspn(line, "\n"));
                ::pclose(found);
            }
        }
        if (loop_.empty() || !Shell("mount.exfat-fuse " + loop_ + " " + Quoted(mount_))) {
            GTEST_SKIP() << "no exFAT image could be mounted (exfatprogs, exfat-fuse and a loop device are needed)";
        }
        mounted_ = true;
    }
    void TearDown() override {
        if (mounted_) Shell("umount " + Quoted(mount_));
        if (!loop_.empty()) Shell("losetup -d " + loop_);
    }

    // A short noisy take whose tag title is "Take", so that its suggested name is Take.EXT.
    fs::path TaggedTake(const fs::path& path) {
        fs::create_directories(path.parent_path());
        EXPECT_TRUE(Shell("ffmpeg -v error -f lavfi -i anoisesrc=d=1:a=0.1 -metadata title=Take -write_id3v1 1 " +
                        Quoted(path)));
        return path;
    }

    static std::vector<std::string> Names(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    ScratchFolder scratch_;
    fs::path image_;
    fs::path mount_;
    std::string loop_;
    bool mounted_ = false;
};

TEST_F(CaseFolding, NoSpellingOfAnInputIsWritten) {
    struct Case {
        const char* name;
        std::vector<std::string> args;  // after the input
        int exitCode;
        std::vector<std::string> left;  // in the input's folder
    };
    const fs::path input = mount_ / "in" / "take.mp3";
    const Case cases[] = {
        {"a tag-made name folding to the input", {"--force", "-f", "mp3"}, 0, {"Take (2).mp3", "take.mp3"}},
        {"an explicit output folding to the input", {"--force", "-o", (mount_ / "in" / "TAKE.mp3").string()}, 1,
         {"take.mp3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(mount_ / "in");
        TaggedTake(input);
        const Bytes original = ReadBytes(input);
        std::vector<std::string> args = {input.string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ChildOutcome outcome = ChildRun(MURMEX_CLI_PATH, args, CliLimits(30s)).Wait();
        ExpectOrderlyEnd(outcome);
        EXPECT_EQ(outcome.ExitCode, c.exitCode) << outcome.Describe();
        EXPECT_TRUE(ReadBytes(input) == original) << "the input was overwritten";
        EXPECT_EQ(Names(mount_ / "in"), c.left);
    }
}

TEST_F(CaseFolding, TwoInputsOfABatchNeverWriteOneOutput) {
    // Untagged, so their outputs are Take-clean.wav and take-clean.wav: one name on exFAT.
    const fs::path a = scratch_ / "A" / "Take.wav";
    const fs::path b = scratch_ / "B" / "take.wav";
    for (const fs::path& input : {a, b}) {
        fs::create_directories(input.parent_path());
        WriteWav(input, NoisyTone(44100, 1), 44100, 1);
    }
    const ChildOutcome outcome = ChildRun(MURMEX_CLI_PATH, {"-j", "2", "-d", mount_.string(), a.string(), b.string()},
                                          CliLimits(30s))
                                     .Wait();
    ExpectOrderlyEnd(outcome);
    EXPECT_EQ(outcome.ExitCode, 0) << outcome.Describe();
    const std::vector<std::string> names = Names(mount_);
    ASSERT_EQ(names.size(), 2u) << outcome.Err;
    for (const std::string& name : names) EXPECT_TRUE(ReadWavFacts(mount_ / name).has_value()) << name;
}

}  // namespace
}  // namespace murmex
