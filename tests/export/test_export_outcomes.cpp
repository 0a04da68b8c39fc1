// How a save ends when the world changes under it: the output file removed or replaced, the
// source cut short, and which folder is remembered afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "export/early_end_check.h"
#include "tests/export/export_rig.h"
#include "tests/fixtures/fixture_paths.h"

namespace murmex {
namespace {

using namespace murmex::testing;
namespace fs = std::filesystem;

TEST(ExportOutcome, OutputRemovedOrTakenDuringTheSaveIsAFailureInEveryFormat) {
    enum class Change { RemoveFolder, FileAppears };
    for (const std::string format : {"wav", "mp3", "ogg", "wma"}) {
        for (const Change change : {Change::RemoveFolder, Change::FileAppears}) {
            SCOPED_TRACE(format + (change == Change::RemoveFolder ? ": folder removed" : ": a file appears"));
            TempFolder dir;
            WriteWav(dir.path() / "source.wav", NoisyTone(44100, 2), 44100, 2);
            fs::create_directory(dir.path() / "out");
            const fs::path output = dir.path() / "out" / ("clean." + format);
            ExportRig rig;
            rig.Load(dir.path() / "source.wav");
            rig.Settings.SelectFormat(format);
            rig.Host.OnProgress = [&] {
                if (change == Change::RemoveFolder) {
                    fs::remove_all(dir.path() / "out");
                } else {
                    std::ofstream(output) << "replacement";
                }
            };
            ASSERT_TRUE(rig.Save(output.string()));
            ASSERT_EQ(rig.Host.Errors.size(), 1u);
            EXPECT_TRUE(Contains(rig.Host.Errors[0], output.string() + (change == Change::RemoveFolder
                                                                            ? ": the file is gone or was replaced"
                                                                            : ": a file of that name appeared")))
                << rig.Host.Errors[0];
            EXPECT_EQ(rig.Driver.Outcome(), ExportOutcome::Failed);
            EXPECT_TRUE(rig.Driver.KeptFileName().empty());
            EXPECT_TRUE(rig.Driver.LastSaveFolder().empty());
            if (change == Change::FileAppears) {
                // Nothing of the save, not even the MP3 tag, lands in the file now at the path,
                // and no scratch file stays beside it.
                EXPECT_EQ(ReadFile(output).size(), std::string("replacement").size());
                EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "out"), fs::directory_iterator()), 1);
            } else {
                EXPECT_FALSE(fs::exists(output));
            }
        }
    }
}

// The source is the test's own copy, cut after it was loaded.
TEST(ExportOutcome, ASourceCutShortKeepsTheValidFileAndSaysHowMuchWasSaved) {
    struct Case {
        const char* name;
        size_t seconds;
        uint32_t rate;
        size_t keptSeconds;
        bool whileSaving;  // else before the writer starts
        const char* said;
    };
    const Case cases[] = {
        // The decoder holds the first seconds in memory from the load on: cut well after them.
        {"before the save", 30, 22050, 10, false, "the source ended early: 10.0 of 30.0 s saved"},
        {"while saving", 60, 22050, 5, true, " of 60.0 s saved"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        const fs::path source = dir.path() / "source.wav";
        WriteWav(source, NoisyTone(c.seconds * c.rate, 1), c.rate, 1);
        ExportRig rig;
        rig.Load(source);
        const auto cut = [&] { fs::resize_file(source, 44 + c.keptSeconds * c.rate * 2); };
        (c.whileSaving ? rig.Host.OnProgress : rig.Host.OnEnter) = cut;
        ASSERT_TRUE(rig.Save(dir / "clean.wav"));
        EXPECT_EQ(rig.Driver.Outcome(), ExportOutcome::SourceEndedEarly);
        ASSERT_EQ(rig.Host.Errors.size(), 1u);
        EXPECT_TRUE(Contains(rig.Host.Errors[0], dir / "clean.wav: the source ended early: ")) << rig.Host.Errors[0];
        EXPECT_TRUE(Contains(rig.Host.Errors[0], c.said)) << rig.Host.Errors[0];
        EXPECT_TRUE(Contains(rig.Host.Errors[0], source.string())) << rig.Host.Errors[0];
        EXPECT_LT(rig.Driver.DecodedTotal(), static_cast<int64_t>(c.seconds * c.rate * 2));
        ExpectConsistentWav(dir.path() / "clean.wav");
        EXPECT_EQ(fs::file_size(dir.path() / "clean.wav"), 44u + 2048u + static_cast<uint64_t>(rig.Driver.DecodedTotal()));
        EXPECT_EQ(rig.Driver.KeptFileName(), dir / "clean.wav");
    }
}

// Lengths of compressed sources are estimates: a complete save of each must not be taken for an
// early end.
TEST(ExportOutcome, CompleteSavesOfEveryInputFormatAreNoEarlyEnd) {
    for (const char* fixture : {"stereo_44100.wav", "s24_stereo_44100.wav", "stereo_44100.flac",
                                "tagged_22050_64k.mp3", "short_title.mp3", "comments_44100.ogg", "tagged_44100.wma"}) {
        SCOPED_TRACE(fixture);
        TempFolder dir;
        ExportRig rig;
        rig.Load(FixturePath(fixture));
        ASSERT_TRUE(rig.Save(dir / "clean.wav"));
        EXPECT_TRUE(rig.Host.Errors.empty()) << rig.Host.Errors[0];
        EXPECT_EQ(rig.Driver.Outcome(), ExportOutcome::Saved);
    }
}

// A VBR MP3 whose length header is gone: the container's estimate of its length is far off.
// Intact, it saves without complaint; cut after its load or while it is being read, it ends early.
TEST(ExportOutcome, AnMp3WithAWrongLengthEstimateEndsEarlyOnlyWhenCut) {
    TempFolder dir;
    const fs::path mp3 = dir.path() / "vbr.mp3";
    {
        // Silence, then noise: the first frames need far fewer bits than the rest.
        std::vector<int16_t> pcm = NoisyTone(44100 * 40, 1);
        std::fill(pcm.begin(), pcm.begin() + 44100 * 10, int16_t{0});
        WriteWav(dir.path() / "source.wav", pcm, 44100, 1);
        ExportRig rig;
        rig.Load(dir.path() / "source.wav");
        rig.Settings.SelectFormat("mp3");
        rig.Settings.SetVbr(true);
        rig.Settings.SetQuality(5);
        ASSERT_TRUE(rig.Save(mp3.string()));
        ASSERT_TRUE(rig.Host.Errors.empty()) << rig.Host.Errors[0];
    }
    std::vector<uint8_t> bytes = ReadFile(mp3);
    const auto header = std::search(bytes.begin(), bytes.begin() + 2048, std::begin("Xing"), std::end("Xing") - 1);
    ASSERT_NE(header, bytes.begin() + 2048) << "no VBR length header to remove";
    std::fill(header, header + 4, uint8_t{0});

    enum class Cut { None, AfterLoad, WhileSaving };
    for (const Cut when : {Cut::None, Cut::AfterLoad, Cut::WhileSaving}) {
        const bool cut = when != Cut::None;
        SCOPED_TRACE(static_cast<int>(when));
        std::ofstream(mp3, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ExportRig rig;
        rig.Load(mp3);
        const auto cutMp3 = [&] { fs::resize_file(mp3, bytes.size() / 10); };
        if (when == Cut::AfterLoad) cutMp3();
        if (when == Cut::WhileSaving) rig.Host.OnProgress = cutMp3;
        ASSERT_TRUE(rig.Save(dir / "clean.wav"));
        const int64_t estimateOff = rig.Loader.Info().LengthBytes - rig.Driver.DecodedTotal();
        if (cut) {
            EXPECT_EQ(rig.Driver.Outcome(), ExportOutcome::SourceEndedEarly);
            ASSERT_EQ(rig.Host.Errors.size(), 1u);
            EXPECT_TRUE(Contains(rig.Host.Errors[0], "the source ended early: ")) << rig.Host.Errors[0];
        } else {
            EXPECT_GT(estimateOff, EarlyEndCheck(rig.Loader.Info()).AllowedShortfall()) << "the estimate is right";
            EXPECT_EQ(rig.Driver.Outcome(), ExportOutcome::Saved);
            EXPECT_TRUE(rig.Host.Errors.empty()) << rig.Host.Errors[0];
        }
    }
}

// The save dialog opens in the folder of the last save that left a valid file.
TEST(ExportOutcome, OnlyASaveThatLeftAValidFileIsRemembered) {
    TempFolder dir;
    WriteWav(dir.path() / "source.wav", NoisyTone(44100, 1), 44100, 1);
    for (const char* sub : {"good", "gone", "cancelled"}) fs::create_directory(dir.path() / sub);
    ExportRig rig;
    rig.Load(dir.path() / "source.wav");
    struct Step {
        const char* name;
        std::string output;
        std::function<void()> onEnter, onProgress;
        std::string remembered;
    };
    const std::string good = dir / "good", cancelled = dir / "cancelled";
    const Step steps[] = {
        {"saved", good + "/a.wav", nullptr, nullptr, good},
        {"refused by a check", dir / "nowhere/b.wav", nullptr, nullptr, good},
        {"writer failed", "/proc/murmex-cannot-create.wav", nullptr, nullptr, good},
        {"file gone", dir / "gone/c.wav", nullptr, [&] { fs::remove_all(dir.path() / "gone"); }, good},
        {"cancelled", cancelled + "/d.wav", [&] { rig.Driver.Cancel(); }, nullptr, cancelled},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        rig.Host.OnEnter = step.onEnter;
        rig.Host.OnProgress = step.onProgress;
        rig.Host.Progress.clear();
        rig.Save(step.output);
        EXPECT_EQ(rig.Driver.LastSaveFolder(), step.remembered);
    }
}

}  // namespace
}  // namespace murmex
