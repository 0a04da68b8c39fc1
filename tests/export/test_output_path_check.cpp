#include "export/output_path_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <vector>

#include "tests/export/export_rig.h"

namespace murmex {
namespace {

namespace fs = std::filesystem;
using testing::RecordingHost;
using testing::TempFolder;

TEST(OutputPathFor, ReplacesOrAddsTheFormatsExtension) {
    EXPECT_EQ(OutputPathFor("/x/song.wav", "mp3"), "/x/song.mp3");
    EXPECT_EQ(OutputPathFor("/x/song", "ogg"), "/x/song.ogg");
    EXPECT_EQ(OutputPathFor("/x/my.song.wav", "wma"), "/x/my.song.wma");
}

TEST(OutputPathCheck, SourceIsRefusedUnderEverySpelling) {
    TempFolder dir;
    fs::create_directory(dir.path() / "sub");
    const std::string source = dir / "song.wav";
    std::ofstream(source) << "RIFF";
    fs::create_symlink(source, dir.path() / "link.wav");
    fs::create_hard_link(source, dir.path() / "hard.wav");
    // A copy with the source's bytes and times stands for the name under which a case-folding
    // file system shows the source with an inode number of its own.
    fs::copy_file(source, dir.path() / "Song.wav");
    fs::last_write_time(dir.path() / "Song.wav", fs::last_write_time(source));
    const std::vector<std::string> spellings = {source, dir / "sub/../song.wav", dir / "./song.wav",
                                                dir / "link.wav", dir / "hard.wav", dir / "Song.wav"};
    for (const std::string& spelling : spellings) {
        RecordingHost host;
        EXPECT_FALSE(CheckOutputPath(spelling, source, host)) << spelling;
        ASSERT_EQ(host.Asked.size(), 1u) << spelling;
        EXPECT_EQ(host.Asked[0].Text, "I cannot write origin file!");
        EXPECT_EQ(host.Asked[0].Caption, "Same file");
        EXPECT_FALSE(host.Asked[0].YesNo);
    }
}

TEST(OutputPathCheck, MissingFolderIsRefusedAndANewFileInAFolderPasses) {
    TempFolder dir;
    const std::string source = dir / "song.wav";
    const std::pair<std::string, std::string> cases[] = {
        {dir / "nowhere/out.wav", "Cannot save to \"" + (dir / "nowhere/out.wav") + "\": the folder \"" +
                                      (dir / "nowhere") + "\" does not exist."},
        {dir / "no\\where/out.wav", "Ooops! Avoid \"\\\" character for filenames!"},
    };
    for (const auto& [output, text] : cases) {
        RecordingHost host;
        EXPECT_FALSE(CheckOutputPath(output, source, host));
        ASSERT_EQ(host.Asked.size(), 1u);
        EXPECT_EQ(host.Asked[0].Text, text);
        EXPECT_EQ(host.Asked[0].Caption, "Directory does not exist");
    }

    RecordingHost fresh;
    EXPECT_TRUE(CheckOutputPath(dir / "new.wav", source, fresh));
    EXPECT_TRUE(fresh.Asked.empty());
}

// Nothing but a regular file can take a save: a FIFO would block the writer forever, a device
// would swallow the audio. The check looks without opening.
TEST(OutputPathCheck, AnythingButARegularFileIsRefusedBeforeTheSave) {
    TempFolder dir;
    struct Case {
        std::string path;
        std::function<bool(const std::string&)> make;
        const char* kind;
    };
    const auto fifo = [](const std::string& p) { return ::mkfifo(p.c_str(), 0600) == 0; };
    const Case cases[] = {
        {dir / "pipe.wav", fifo, "a named pipe (FIFO)"},
        {dir / "folder.wav", [](const std::string& p) { return fs::create_directory(p); }, "a folder"},
        {"/dev/null", [](const std::string&) { return true; }, "a character device"},
        {dir / "link-to-pipe.wav",
         [&](const std::string& p) {
             fs::create_symlink(dir / "pipe.wav", p);
             return true;
         },
         "a named pipe (FIFO)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_TRUE(c.make(c.path));
        RecordingHost host;
        host.Answer = true;  // an overwrite question would be answered Yes
        EXPECT_FALSE(CheckOutputPath(c.path, dir / "song.wav", host));
        ASSERT_EQ(host.Asked.size(), 1u);
        EXPECT_EQ(host.Asked[0].Caption, "Not a regular file");
        EXPECT_EQ(host.Asked[0].Text,
                  "Cannot save to \"" + c.path + "\": it is " + c.kind + ", not a regular file.");
        EXPECT_FALSE(host.Asked[0].YesNo);
    }

    RecordingHost host;
    std::ofstream(dir / "plain.wav") << "old";
    EXPECT_TRUE(CheckOutputPath(dir / "plain.wav", dir / "song.wav", host));
    ASSERT_EQ(host.Asked.size(), 1u);
    EXPECT_EQ(host.Asked[0].Caption, "Confirmation");
}

}  // namespace
}  // namespace murmex
