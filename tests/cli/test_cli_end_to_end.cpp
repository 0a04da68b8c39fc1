#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tests/cli/cli_process.h"
#include "tests/export/wav_test_files.h"
#include "tests/fixtures/fixture_paths.h"

namespace murmex {
namespace {

using namespace murmex::testing;
namespace fs = std::filesystem;

TEST(CliEndToEnd, HelpVersionAndUsageErrors) {
    auto r = RunCli({"--help"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_TRUE(Contains(r.Out, "Usage: murmex-cli"));
    r = RunCli({"--version"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_TRUE(Contains(r.Out, "murmex-cli "));
    r = RunCli({});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_TRUE(Contains(r.Err, "no input file given"));
    r = RunCli({"--bias", "30", "a.wav"});
    EXPECT_EQ(r.ExitCode, 2);
    EXPECT_TRUE(Contains(r.Err, "noise bias level"));
}

TEST(CliEndToEnd, SavesWavAndRefusesToOverwriteWithoutForce) {
    TempFolder dir;
    WriteWav(dir.path() / "in.wav", NoisyTone(50000, 1), 44100, 1);
    auto r = RunCli({"--quiet", "-o", dir / "out", dir / "in.wav"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    ExpectConsistentWav(dir.path() / "out.wav", 102048);

    std::ofstream(dir / "taken.wav") << "keep me";
    r = RunCli({"--quiet", "-o", dir / "taken.wav", dir / "in.wav"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(Contains(r.Err, "Overwrite existing file?")) << r.Err;
    EXPECT_TRUE(Contains(r.Err, "--force")) << r.Err;
    EXPECT_EQ(ReadFile(dir.path() / "taken.wav").size(), 7u);

    r = RunCli({"--quiet", "--force", "-o", dir / "taken.wav", dir / "in.wav"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    ExpectConsistentWav(dir.path() / "taken.wav", 102048);
}

TEST(CliEndToEnd, NeverWritesItsInputUnderAnySpelling) {
    TempFolder dir;
    WriteWav(dir.path() / "in.wav", NoisyTone(20000, 2), 44100, 2);
    fs::create_directory(dir.path() / "sub");
    fs::create_symlink(dir.path() / "in.wav", dir.path() / "link.wav");
    fs::create_hard_link(dir.path() / "in.wav", dir.path() / "hard.wav");
    const auto original = ReadFile(dir.path() / "in.wav");
    const std::vector<std::string> spellings = {
        dir / "in.wav", dir / "sub/../in.wav", dir / "./in.mp3" /* becomes in.wav */, dir / "link.wav",
        dir / "hard.wav"};
    for (const std::string& spelling : spellings) {
        auto r = RunCli({"--quiet", "--force", "-f", "wav", "-o", spelling, dir / "in.wav"});
        EXPECT_EQ(r.ExitCode, 1) << spelling;
        EXPECT_TRUE(Contains(r.Err, "I cannot write origin file!")) << spelling << ": " << r.Err;
    }
    EXPECT_TRUE(ReadFile(dir.path() / "in.wav") == original);

    // Nor through the folder naming, where one input's output name is another input.
    WriteWav(dir.path() / "in-clean.wav", NoisyTone(4000, 1), 44100, 1);
    const auto second = ReadFile(dir.path() / "in-clean.wav");
    auto r = RunCli({"--quiet", "--force", "-d", dir.path().string(), dir / "in.wav", dir / "in-clean.wav"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(ReadFile(dir.path() / "in.wav") == original);
    EXPECT_TRUE(ReadFile(dir.path() / "in-clean.wav") == second);
    EXPECT_TRUE(fs::exists(dir.path() / "in-clean (2).wav"));
    EXPECT_TRUE(fs::exists(dir.path() / "in-clean-clean.wav"));
}

TEST(CliEndToEnd, BatchIntoAFolderNamesFromTagsAndKeepsGoingAfterAFailure) {
    TempFolder dir;
    WriteWav(dir.path() / "take.wav", NoisyTone(8000, 1), 22050, 1);
    fs::create_directory(dir.path() / "out");
    fs::create_directory(dir.path() / "again");
    fs::copy_file(FixturePath("tagged_22050_64k.mp3"), dir.path() / "again" / "tagged.mp3");
    auto r = RunCli({"--quiet", "-d", dir / "out", FixturePath("tagged_22050_64k.mp3").string(),
                     dir / "missing.wav", dir / "take.wav", dir / "again/tagged.mp3"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(Contains(r.Err, "missing.wav: no such file")) << r.Err;
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "Band - Song.wav")) << r.Err;
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "Band - Song (2).wav")) << r.Err;
    ExpectConsistentWav(dir.path() / "out" / "take-clean.wav", 16000 + 2048);
}

TEST(CliEndToEnd, InfoDescribesTheSourceAndSavesNothing) {
    TempFolder dir;
    WriteWav(dir.path() / "in.wav", NoisyTone(4410, 1), 44100, 1);
    auto r = RunCli({"--info", dir / "in.wav"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    for (const char* line : {"format: PCM\n", "rate: 44100Hz\n", "channels: Mono\n", "bitrate: 705 kbps\n",
                             "output kbps: mp3 256, ogg 256, wma 256\n", "wav kbps: 705\n"}) {
        EXPECT_TRUE(Contains(r.Out, line)) << line << " in:\n" << r.Out;
    }
    r = RunCli({"--info", FixturePath("tagged_22050_64k.mp3").string()});
    EXPECT_TRUE(Contains(r.Out, "suggested name: Band - Song\n")) << r.Out;
    EXPECT_TRUE(Contains(r.Out, "output kbps: mp3 96, ogg 96, wma 96\n")) << r.Out;
    EXPECT_EQ(fs::directory_iterator(dir.path())->path().filename(), "in.wav");
}

// Runs murmex-cli with its output merged into one text; as root it runs as user nobody, since
// root may write into any folder. Returns the exit status, or -1 when it cannot be run that way.
int RunCliUnprivileged(const std::string& args, std::string& output) {
    const std::string asNobody = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups -- " : "";
    return RunShell(asNobody + MURMEX_CLI_PATH + " " + args + " 2>&1", output);
}

TEST(CliEndToEnd, AnOutputFolderThatCannotBeWrittenFailsInEveryFormat) {
    TempFolder dir;
    WriteWav(dir.path() / "in.wav", NoisyTone(4410, 1), 44100, 1);
    fs::create_directory(dir.path() / "locked");
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir.path() / "in.wav", fs::perms::owner_read | fs::perms::owner_write |
                                               fs::perms::group_read | fs::perms::others_read);
    fs::permissions(dir.path() / "locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                               fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    std::string output;
    if (RunCliUnprivileged("--version", output) != 0) GTEST_SKIP() << "cannot run murmex-cli unprivileged: " << output;

    for (const std::string format : {"wav", "mp3", "ogg", "wma"}) {
        SCOPED_TRACE(format);
        const std::string target = dir / ("locked/out." + format);
        EXPECT_EQ(RunCliUnprivileged("--quiet -o '" + target + "' '" + (dir / "in.wav") + "'", output), 1);
        EXPECT_TRUE(Contains(output, "out." + format)) << output;
        EXPECT_TRUE(Contains(output, "Permission denied")) << output;
        EXPECT_FALSE(fs::exists(target));
    }
}

TEST(CliEndToEnd, EncodedFormatsFollowTheOptions) {
    TempFolder dir;
    WriteWav(dir.path() / "in.wav", NoisyTone(22050, 2), 44100, 2);
    auto r = RunCli({"--quiet", "-o", dir / "a.ogg", "-q", "3", dir / "in.wav"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const auto ogg = ReadFile(dir.path() / "a.ogg");
    ASSERT_GT(ogg.size(), 4u);
    EXPECT_EQ(std::memcmp(ogg.data(), "OggS", 4), 0);

    r = RunCli({"--quiet", "-f", "mp3", "-b", "128", "-o", dir / "take1.wav", dir / "in.wav"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const auto mp3 = ReadFile(dir.path() / "take1.mp3");
    ASSERT_GT(mp3.size(), 128u);
    const char* tag = reinterpret_cast<const char*>(mp3.data() + mp3.size() - 128);
    EXPECT_EQ(std::string(tag, 3), "TAG");
    EXPECT_EQ(std::string(tag + 3, 5), "take1");
}

TEST(CliEndToEnd, InterruptActsLikeCancel) {
    TempFolder dir;
    // Long enough that the save is still running when the signal arrives.
    WriteWav(dir.path() / "long.wav", NoisyTone(22050 * 240, 1), 22050, 1);
    const fs::path out = dir.path() / "cut.wav";
    CliProcess cli({"--quiet", "-o", out.string(), dir / "long.wav"});
    ASSERT_TRUE(WaitForSaves(dir.path()));
    cli.Signal(SIGINT);
    const CliResult r = cli.Wait();
    // As a shell reports a program Ctrl-C ended, so that a loop around it stops.
    EXPECT_EQ(r.ExitCode, 130) << r.Err;
    EXPECT_TRUE(Contains(r.Err, "cancelled")) << r.Err;
    ExpectConsistentWav(out, 0);
    EXPECT_LT(fs::file_size(out), 44u + 22050u * 240u * 2u);
}

}  // namespace
}  // namespace murmex
