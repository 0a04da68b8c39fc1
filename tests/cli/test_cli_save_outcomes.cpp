// What murmex-cli says, and which file it names, when a save is refused, fails, or ends short.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "tests/cli/cli_process.h"
#include "tests/export/wav_test_files.h"
#include "tests/fixtures/fixture_paths.h"

namespace murmex {
namespace {

using namespace murmex::testing;
namespace fs = std::filesystem;

// Each case runs in a fresh folder holding in.wav (1 s mono); `prepare` sets the scene.
struct MessageCase {
    const char* name;
    std::function<void(const TempFolder&)> prepare;
    std::vector<std::string> args;  // "@name" stands for that name in the case's folder
    CliLaunch launch;  // "@" in its folder stands for the case's folder
    int exitCode;
    std::vector<std::string> said, notSaid;
    std::function<void(const TempFolder&, const CliResult&)> check = nullptr;  // of the files left
};

std::vector<std::string> InFolder(const TempFolder& dir, std::vector<std::string> texts) {
    const std::string folder = dir.path().string() + "/";
    for (std::string& text : texts) {
        for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, folder);
    }
    return texts;
}

void RunMessageCases(const std::vector<MessageCase>& cases) {
    for (const MessageCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        WriteWav(dir.path() / "in.wav", NoisyTone(44100, 1), 44100, 1);
        if (c.prepare) c.prepare(dir);
        CliLaunch launch = c.launch;
        launch.Folder = InFolder(dir, {launch.Folder})[0];
        launch.ShellSetup = InFolder(dir, {launch.ShellSetup})[0];
        const CliResult r = RunCli(InFolder(dir, c.args), launch);
        EXPECT_EQ(r.ExitCode, c.exitCode) << r.Err;
        for (const std::string& text : InFolder(dir, c.said)) EXPECT_TRUE(Contains(r.Err, text)) << text << " in: " << r.Err;
        for (const std::string& text : InFolder(dir, c.notSaid)) EXPECT_FALSE(Contains(r.Err, text)) << text << " in: " << r.Err;
        if (c.check) c.check(dir, r);
    }
}

void Keep(const TempFolder& dir, const std::string& name) { std::ofstream(dir / name) << "keep"; }

std::function<void(const TempFolder&)> Fifo(const std::string& name) {
    return [name](const TempFolder& dir) { ASSERT_EQ(::mkfifo((dir / name).c_str(), 0600), 0); };
}

TEST(CliSaveOutcomes, MessagesNameTheFileWrittenAndSayIncompleteOnlyWhenItIs) {
    // 20 blocks of 512 bytes, and writing past them fails ("File too large") instead of killing.
    const CliLaunch sizeLimit{"", "trap '' XFSZ; ulimit -f 20"};
    RunMessageCases({
        {"the source itself, named before its extension was replaced", nullptr,
         {"--quiet", "-f", "wav", "-o", "@in.mp3", "@in.wav"}, {}, 1,
         {"@in.wav: I cannot write origin file!"}, {"in.mp3", "incomplete"}},
        {"an existing file kept", [](const TempFolder& d) { Keep(d, "taken.wav"); },
         {"--quiet", "-f", "wav", "-o", "@taken.ogg", "@in.wav"}, {}, 1,
         {"@taken.wav: Overwrite existing file?"}, {"taken.ogg", "incomplete"}},
        {"a missing folder", nullptr, {"--quiet", "-o", "@nowhere/out.wav", "@in.wav"}, {}, 1,
         {"@nowhere/out.wav: ", "Directory does not exist"}, {"incomplete"}},
        {"a file that cannot be created", nullptr, {"--quiet", "-o", "/proc/murmex-cannot-create.wav", "@in.wav"},
         {}, 1, {"murmex-cli: /proc/murmex-cannot-create.wav: "}, {"incomplete"}},
        {"a file cut short by a write error", nullptr, {"--quiet", "-o", "@big.wav", "@in.wav"}, sizeLimit, 1,
         {"@big.wav: File too large"}, {"incomplete"},
         [](const TempFolder& d, const CliResult&) { EXPECT_FALSE(fs::exists(d.path() / "big.wav")); }},
        // Opening a FIFO would block until a reader came; a WAV save would then block for good.
        {"a FIFO as a WAV output", Fifo("pipe.wav"), {"--quiet", "--force", "-o", "@pipe.wav", "@in.wav"}, {}, 1,
         {"@pipe.wav: Cannot save to \"@pipe.wav\": it is a named pipe (FIFO), not a regular file."},
         {"incomplete"}},
        {"a FIFO as an Ogg output", Fifo("pipe.ogg"), {"--quiet", "--force", "-o", "@pipe.ogg", "@in.wav"}, {}, 1,
         {"@pipe.ogg: Cannot save to", "named pipe (FIFO)"}, {"incomplete"}},
        {"a folder", [](const TempFolder& d) { fs::create_directory(d.path() / "dir.wav"); },
         {"--quiet", "--force", "-o", "@dir.wav", "@in.wav"}, {}, 1, {"@dir.wav: Cannot save to", "it is a folder"},
         {"incomplete"}},
    });
}

// Folders that are missing, standard output that is the input, and names from the command line
// or from tags that would otherwise reach the terminal or the file system raw.
TEST(CliSaveOutcomes, HostileNamesAndStatesAreMadeHarmless) {
    const std::string forged = "in\x1b]0;pwned\x07\nmurmex-cli: 8 files: 8 saved.wav";
    RunMessageCases({
        {"a missing -d folder is made", nullptr, {"--quiet", "-d", "@new/sub", "@in.wav"}, {}, 0,
         {"murmex-cli: created folder @new/sub"}, {},
         [](const TempFolder& d, const CliResult&) { ExpectConsistentWav(d.path() / "new/sub/in-clean.wav"); }},
        {"a -d folder that cannot be made", [](const TempFolder& d) { Keep(d, "file"); },
         {"--quiet", "-d", "@file/sub", "@in.wav"}, {}, 1, {"@file/sub: the output folder cannot be made: "}, {"Ooops"}},
        {"standard output appended to the input", nullptr, {"--quiet", "@in.wav", "-o", "-"}, {"", "exec >> @in.wav"}, 1,
         {"standard output: it is @in.wav itself; I cannot write origin file!"}, {},
         [](const TempFolder& d, const CliResult&) { EXPECT_EQ(fs::file_size(d.path() / "in.wav"), 44u + 88200u); }},
        {"control characters in a name", nullptr, {"--quiet", "@" + forged}, {}, 1,
         {R"(in\x1b]0;pwned\a\nmurmex-cli: 8 files: 8 saved.wav: no such file)"}, {"\x1b", "\x07", "\nmurmex-cli: 8 files"}},
        {"control and refused characters in a tag", [](const TempFolder& d) {
             ASSERT_EQ(std::system(("ffmpeg -v error -f lavfi -i anoisesrc=d=1:a=0.1 -metadata title=\"$(printf "
                                    "'Bad\\033]0;x\\007?*<Name>|. ')\" '" + (d / "tag.mp3") + "'").c_str()), 0);
         },
         {"--info", "@tag.mp3"}, {}, 0, {}, {},
         [](const TempFolder&, const CliResult& r) { EXPECT_TRUE(Contains(r.Out, "suggested name: Bad]0;xName\n")) << r.Out; }},
        // Their records differ, and each holds the name whole beside its readable field.
        {"names that are not UTF-8 in --json", [](const TempFolder& d) { fs::copy_file(d.path() / "in.wav", d.path() / "a\xff.wav"); },
         {"--quiet", "--json", "-d", "@out", "@in.wav", "@a\xff.wav"}, {}, 0, {}, {},
         [](const TempFolder& d, const CliResult& r) {
             EXPECT_TRUE(Contains(r.Out, "\"input_bytes\":\"" + (d / "a\\\\xff.wav\""))) << r.Out;
             EXPECT_TRUE(Contains(r.Out, "\"output_bytes\":\"" + (d / "out/a\\\\xff-clean.wav\""))) << r.Out;
             EXPECT_FALSE(Contains(r.Out, "\"input\":\"" + (d / "in.wav\",\"input_bytes")));
         }},
        {"a noise stretch shorter than one engine frame", nullptr,
         {"--quiet", "--noise-from", "0-0.00001", "-o", "@out.wav", "@in.wav"}, {}, 1,
         {"@in.wav: the noise stretch 0-1e-05 s holds 0 samples, fewer than one engine frame (2048 samples"}, {}},
    });
}

void ExpectFile(const TempFolder& dir, const std::string& name, size_t minimumSize) {
    EXPECT_TRUE(fs::is_regular_file(dir.path() / name)) << name;
    EXPECT_GE(fs::file_size(dir.path() / name), minimumSize) << name;
}

// Names FFmpeg would read as a protocol ("pipe:", "file:") are plain files in the working folder;
// the same-file and overwrite checks look at exactly the file that is written.
TEST(CliSaveOutcomes, NamesWithAColonAreFilesInTheWorkingFolder) {
    const auto victim = [](const TempFolder& d) { fs::copy_file(FixturePath("tagged_44100.wma"), d.path() / "victim.wma"); };
    RunMessageCases({
        {"pipe:1.wma", nullptr, {"--quiet", "-o", "pipe:1.wma", "in.wav"}, {"@", ""}, 0, {}, {},
         [](const TempFolder& d, const CliResult& r) {
             ExpectFile(d, "pipe:1.wma", 1000);
             EXPECT_TRUE(r.Out.empty()) << r.Out.size() << " bytes on standard output";
         }},
        {"file:victim.wma", victim, {"--quiet", "-o", "file:victim.wma", "victim.wma"}, {"@", ""}, 0, {}, {},
         [](const TempFolder& d, const CliResult&) {
             ExpectFile(d, "file:victim.wma", 1000);
             EXPECT_TRUE(ReadFile(d.path() / "victim.wma") == ReadFile(FixturePath("tagged_44100.wma")));
         }},
        {"an existing file:y.wma", [](const TempFolder& d) { Keep(d, "file:y.wma"); },
         {"--quiet", "-o", "file:y.wma", "in.wav"}, {"@", ""}, 1, {"file:y.wma: Overwrite existing file?"}, {},
         [](const TempFolder& d, const CliResult&) { EXPECT_EQ(ReadFile(d.path() / "file:y.wma").size(), 4u); }},
        {"Take:1.wma", nullptr, {"--quiet", "-o", "Take:1.wma", "in.wav"}, {"@", ""}, 0, {}, {},
         [](const TempFolder& d, const CliResult&) { ExpectFile(d, "Take:1.wma", 1000); }},
        {"Take:1.wav", nullptr, {"--quiet", "-o", "Take:1.wav", "in.wav"}, {"@", ""}, 0, {}, {},
         [](const TempFolder& d, const CliResult&) { ExpectConsistentWav(d.path() / "Take:1.wav", 88200 + 2048); }},
    });
}

// A writer that resamples to fit its format says so, even with --quiet; so does an MP3 bitrate
// lowered to what MP3 holds at the source's rate.
TEST(CliSaveOutcomes, AResampledSaveSaysSo) {
    const std::string source = FixturePath("stereo_48000.wav").string();
    const std::string low = FixturePath("mono_22050.wav").string();
    RunMessageCases({
        {"WMA at 48000 Hz", nullptr, {"--quiet", "-o", "@out.wma", source}, {}, 0,
         {"@out.wma: resampled from 48000 Hz to 44100 Hz"}, {}},
        {"WAV keeps the rate", nullptr, {"--quiet", "-o", "@out.wav", source}, {}, 0, {}, {"resampled"}},
        {"MP3 320 kbps at 22050 Hz", nullptr, {"--quiet", "-b", "320", "-o", "@out.mp3", low}, {}, 0,
         {"@out.mp3: 320 kbps is written as 160 kbps: MP3 at 22050 Hz holds at most 160 kbps"}, {}},
        {"MP3 160 kbps at 22050 Hz", nullptr, {"--quiet", "-b", "160", "-o", "@out.mp3", low}, {}, 0, {},
         {"written as"}},
    });
}

// Runs a save of a 30 s source and changes the world as soon as the save has begun.
CliResult SaveWhile(const TempFolder& dir, const fs::path& output, const std::function<void()>& change) {
    CliProcess cli({"--quiet", "-o", output.string(), dir / "long.wav"});
    EXPECT_TRUE(WaitForSaves(output.parent_path()));
    change();
    return cli.Wait();
}

TEST(CliSaveOutcomes, ChangesDuringASaveFailItWithTheReason) {
    struct Case {
        const char* name;
        const char* output;
        std::function<void(const TempFolder&)> change;
        const char* said;
        bool fileKept;  // a valid, shorter WAV stays
    };
    const Case cases[] = {
        {"source cut short", "out.wav",
         [](const TempFolder& d) { fs::resize_file(d.path() / "long.wav", 44 + 2 * 22050 * 2); },
         "out.wav: the source ended early: ", true},
        {"output folder removed", "sub/out.wav", [](const TempFolder& d) { fs::remove_all(d.path() / "sub"); },
         "sub/out.wav: the file is gone or was replaced while it was being saved", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        WriteWav(dir.path() / "long.wav", NoisyTone(22050 * 30, 1), 22050, 1);
        fs::create_directory(dir.path() / "sub");
        const fs::path output = dir.path() / c.output;
        const CliResult r = SaveWhile(dir, output, [&] { c.change(dir); });
        EXPECT_EQ(r.ExitCode, 1) << r.Err;
        EXPECT_TRUE(Contains(r.Err, c.said)) << r.Err;
        EXPECT_FALSE(Contains(r.Err, "incomplete")) << r.Err;
        EXPECT_EQ(fs::exists(output), c.fileKept);
        if (c.fileKept) {
            EXPECT_TRUE(Contains(r.Err, " of 30.0 s saved")) << r.Err;
            ExpectConsistentWav(output);
            EXPECT_LT(fs::file_size(output), 44u + 22050u * 30u * 2u);
        }
    }
}

}  // namespace
}  // namespace murmex
