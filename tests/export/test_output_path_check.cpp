#include "export/output_path_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace murmex {
namespace {

namespace fs = std::filesystem;

// Answers every question with a fixed reply and remembers what was asked.
class RecordingHost : public ExportHost {
public:
    explicit RecordingHost(bool answer = true) : answer_(answer) {}
    bool Ask(const ExportQuestion& q) override {
        asked.push_back(q);
        return answer_;
    }
    void EnterExportState() override {}
    void LeaveExportState() override {}
    void ShowExportProgress(int) override {}
    void ReportExportError(const std::string&) override {}
    std::vector<ExportQuestion> asked;

private:
    bool answer_;
};

class OutputPathCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("murmex-path-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "sub");
        source_ = (dir_ / "song.wav").string();
        std::ofstream(source_) << "RIFF";
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
    std::string source_;
};

TEST(OutputPathFor, ReplacesOrAddsTheFormatsExtension) {
    EXPECT_EQ(OutputPathFor("/x/song.wav", "mp3"), "/x/song.mp3");
    EXPECT_EQ(OutputPathFor("/x/song", "ogg"), "/x/song.ogg");
    EXPECT_EQ(OutputPathFor("/x/my.song.wav", "wma"), "/x/my.song.wma");
}

TEST_F(OutputPathCheckTest, SourceIsRefusedUnderEverySpelling) {
    fs::create_symlink(source_, dir_ / "link.wav");
    fs::create_hard_link(source_, dir_ / "hard.wav");
    const std::vector<std::string> spellings = {
        source_, (dir_ / "sub" / ".." / "song.wav").string(), (dir_ / "." / "song.wav").string(),
        (dir_ / "link.wav").string(), (dir_ / "hard.wav").string()};
    for (const std::string& spelling : spellings) {
        RecordingHost host;
        EXPECT_FALSE(CheckOutputPath(spelling, source_, host)) << spelling;
        ASSERT_EQ(host.asked.size(), 1u) << spelling;
        EXPECT_EQ(host.asked[0].Text, "I cannot write origin file!");
        EXPECT_EQ(host.asked[0].Caption, "Same file");
        EXPECT_FALSE(host.asked[0].YesNo);
    }
}

TEST_F(OutputPathCheckTest, ExistingFileAsksAndNoStops) {
    const std::string out = (dir_ / "out.wav").string();
    std::ofstream(out) << "x";
    RecordingHost no(false);
    EXPECT_FALSE(CheckOutputPath(out, source_, no));
    ASSERT_EQ(no.asked.size(), 1u);
    EXPECT_EQ(no.asked[0].Text, "Overwrite existing file?");
    EXPECT_EQ(no.asked[0].Caption, "Confirmation");
    EXPECT_TRUE(no.asked[0].YesNo);

    RecordingHost yes(true);
    EXPECT_TRUE(CheckOutputPath(out, source_, yes));
}

TEST_F(OutputPathCheckTest, MissingFolderIsRefused) {
    RecordingHost host;
    EXPECT_FALSE(CheckOutputPath((dir_ / "nowhere" / "out.wav").string(), source_, host));
    ASSERT_EQ(host.asked.size(), 1u);
    EXPECT_EQ(host.asked[0].Text, "Ooops! Avoid \"\\\" character for filenames!");
    EXPECT_EQ(host.asked[0].Caption, "Directory does not exist");

    RecordingHost fresh;
    EXPECT_TRUE(CheckOutputPath((dir_ / "sub" / "new.wav").string(), source_, fresh));
    EXPECT_TRUE(fresh.asked.empty());
}

}  // namespace
}  // namespace murmex
