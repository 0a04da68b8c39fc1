// A save writes a file of its own beside the output and puts it in place only when it is complete:
// a file standing at the output stays whole until then, a shorter file never takes its place, and
// links at the output are replaced, never followed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/output_path_check.h"
#include "tests/export/export_rig.h"

namespace murmex {
namespace {

using namespace murmex::testing;
namespace fs = std::filesystem;

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Text(const fs::path& path) {
    const std::vector<uint8_t> bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

class AtomicSave : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(dir_.path() / "out");
        // Long enough that a Cancel sent at the first progress always comes before the end.
        WriteWav(dir_.path() / "source.wav", NoisyTone(44100 * 20, 2), 44100, 2);
        rig_.Load(dir_.path() / "source.wav");
    }
    fs::path Out(const std::string& name) const { return dir_.path() / "out" / name; }

    TempFolder dir_;
    ExportRig rig_;
};

TEST_F(AtomicSave, AReplacedFileStaysWholeUntilTheNewOneIsCompleteInEveryFormat) {
    for (const std::string format : {"wav", "mp3", "ogg", "wma"}) {
        SCOPED_TRACE(format);
        const fs::path output = Out("take." + format);
        std::ofstream(output) << "the old take";
        ::chmod(output.c_str(), 0640);
        std::string seenDuringTheSave;
        rig_.Host.Progress.clear();
        rig_.Host.OnProgress = [&] { seenDuringTheSave = Text(output); };
        rig_.Settings.SelectFormat(format);
        ASSERT_TRUE(rig_.Save(output.string()));
        EXPECT_EQ(rig_.Driver.Outcome(), ExportOutcome::Saved);
        EXPECT_EQ(seenDuringTheSave, "the old take");
        EXPECT_GT(fs::file_size(output), 1000u);
        EXPECT_EQ(fs::status(output).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        EXPECT_EQ(Names(dir_.path() / "out"), std::vector<std::string>{"take." + format}) << "a scratch file stayed";
        fs::remove(output);
    }
}

// A cancelled save keeps its valid shorter file; where it is kept decides whether anything can
// take it for a finished one.
TEST_F(AtomicSave, ACancelledSaveIsKeptWhereNothingTakesItForFinished) {
    struct Case {
        const char* name;
        bool oldFile;
        bool partialOnCancel;
        std::vector<std::string> left;
        const char* kept;
    };
    const Case cases[] = {
        {"nothing in the way", false, false, {"take.wav"}, "take.wav"},
        {"nothing in the way, partial asked", false, true, {"take.partial.wav"}, "take.partial.wav"},
        {"a whole file in the way", true, false, {"take.partial.wav", "take.wav"}, "take.partial.wav"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& name : Names(dir_.path() / "out")) fs::remove(Out(name));
        if (c.oldFile) std::ofstream(Out("take.wav")) << "the old take";
        rig_.Driver.SetPartialOnCancel(c.partialOnCancel);
        rig_.Host.Progress.clear();
        rig_.Host.OnProgress = [this] { rig_.Driver.Cancel(); };
        ASSERT_TRUE(rig_.Save(Out("take.wav")));
        EXPECT_EQ(rig_.Driver.Outcome(), ExportOutcome::Cancelled);
        EXPECT_EQ(Names(dir_.path() / "out"), c.left);
        EXPECT_EQ(rig_.Driver.KeptFileName(), Out(c.kept).string());
        ExpectConsistentWav(Out(c.kept));
        if (c.oldFile) {
            EXPECT_EQ(Text(Out("take.wav")), "the old take");
        }
    }
}

TEST_F(AtomicSave, ALinkAtTheOutputIsReplacedAndItsTargetLeftAlone) {
    const fs::path target = dir_.path() / "elsewhere.wav";
    struct Case {
        const char* name;
        bool targetExists;
    };
    for (const Case& c : {Case{"dangling link", false}, Case{"link to a file", true}}) {
        SCOPED_TRACE(c.name);
        fs::remove(target);
        if (c.targetExists) std::ofstream(target) << "someone else's";
        const fs::path link = Out("link.wav");
        fs::remove(link);
        fs::create_symlink(target, link);
        rig_.Host.Asked.clear();
        ASSERT_TRUE(rig_.Save(link.string()));
        // The link counts as a file in the way, dangling or not.
        ASSERT_EQ(rig_.Host.Asked.size(), 1u);
        EXPECT_EQ(rig_.Host.Asked[0].Caption, "Confirmation");
        EXPECT_FALSE(fs::is_symlink(link));
        ExpectConsistentWav(link);
        EXPECT_EQ(fs::exists(target), c.targetExists);
        if (c.targetExists) {
            EXPECT_EQ(Text(target), "someone else's");
        }
    }
}

TEST(PartialPathFor, PutsPartialBeforeTheExtension) {
    EXPECT_EQ(PartialPathFor("/x/take.wav"), "/x/take.partial.wav");
    EXPECT_EQ(PartialPathFor("/x/my.take.mp3"), "/x/my.take.partial.mp3");
    EXPECT_EQ(PartialPathFor("take"), "take.partial");
}

}  // namespace
}  // namespace murmex
