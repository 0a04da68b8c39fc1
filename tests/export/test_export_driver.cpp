#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "engine/block_contract.h"
#include "tests/export/export_rig.h"
#include "source/bass.h"
#include "tags/id3v1.h"
#include "tests/fixtures/fixture_paths.h"

namespace murmex {
namespace {

using namespace murmex::testing;

// Decoding needs the audio library (without an output device); the main-thread queue is
// drained by the test thread itself.
class AudioEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        MainThreadQueue::Instance().BindToCurrentThread();
        ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    }
    void TearDown() override { BASS_Free(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new AudioEnvironment);

// Serves a PCM buffer in the block sizes a decoder would.
class MemoryBlockSource : public BlockSource {
public:
    explicit MemoryBlockSource(const std::vector<int16_t>& pcm)
        : bytes_(reinterpret_cast<const uint8_t*>(pcm.data())), size_(pcm.size() * 2) {}
    int ReadBlock(void* dst, int maxBytes) override {
        const size_t n = std::min(size_ - offset_, static_cast<size_t>(maxBytes));
        std::memcpy(dst, bytes_ + offset_, n);
        offset_ += n;
        return static_cast<int>(n);
    }

private:
    const uint8_t* bytes_;
    size_t size_;
    size_t offset_ = 0;
};

// The PCM a save should write: the zeroed first block, then every block the engine's block
// contract yields when run by hand on a fresh engine, cut to the bytes read.
std::vector<uint8_t> ContractByHand(const std::vector<int16_t>& pcm, int channels, bool dcCorrection) {
    ProcessingOptions options;
    options.DcOffsetCorrection = dcCorrection;
    SpectralEngine engine(options);
    engine.SetChannels(channels);
    engine.ComputeDcCoefficient();
    engine.PrepareEngine();
    engine.BuildAnalysisWindow();
    engine.BuildSmoothingKernel();
    std::vector<uint8_t> expected(2048, 0);
    MemoryBlockSource source(pcm);
    for (int n; (n = RunBlockContract(engine, source, true)) > 0;) {
        const auto* out = reinterpret_cast<const uint8_t*>(engine.OutputBlock().data());
        expected.insert(expected.end(), out, out + n);
    }
    return expected;
}

TEST(ExportDriver, MonoWavGetsTwoSilentBlocksAheadAndMatchesTheBlockContract) {
    TempFolder dir;
    const auto pcm = NoisyTone(50000, 1);  // 100000 bytes
    WriteWav(dir.path() / "source.wav", pcm, 44100, 1);
    ExportRig rig;
    rig.Load(dir.path() / "source.wav");
    ASSERT_TRUE(rig.Save(dir / "clean.wav"));
    EXPECT_TRUE(rig.Host.Errors.empty());
    EXPECT_EQ(rig.Host.Entered, 1);
    EXPECT_EQ(rig.Host.Left, 1);

    const auto file = ReadFile(dir.path() / "clean.wav");
    ExpectConsistentWav(file);
    ASSERT_EQ(GetLe32(file, 40), 102048u);
    const std::vector<uint8_t> data(file.begin() + 44, file.end());
    EXPECT_TRUE(std::all_of(data.begin(), data.begin() + 2048, [](uint8_t b) { return b == 0; }));

    EXPECT_TRUE(data == ContractByHand(pcm, 1, false));
    EXPECT_NE(std::memcmp(data.data() + 4096, pcm.data(), 2048), 0);  // the audio was processed
}

// On one thread and with the second channel on a thread of its own: several refills and a short
// last block.
TEST(ExportDriver, StereoWithDcCorrectionMatchesTheBlockContract) {
    TempFolder dir;
    auto pcm = NoisyTone(100001 * 2, 2, 7);
    for (auto& s : pcm) s = static_cast<int16_t>(s / 2 + 3000);  // a DC offset to remove
    WriteWav(dir.path() / "source.wav", pcm, 22050, 2);
    const auto expected = ContractByHand(pcm, 2, true);
    for (int threads : {1, 2}) {
        ExportRig rig;
        rig.Options.DcOffsetCorrection = true;
        rig.Driver.SetChannelThreads(threads);
        rig.Load(dir.path() / "source.wav");
        ASSERT_TRUE(rig.Save(dir / "clean"));  // no extension: the format's is added

        const auto file = ReadFile(dir.path() / "clean.wav");
        ExpectConsistentWav(file);
        EXPECT_TRUE(std::vector<uint8_t>(file.begin() + 44, file.end()) == expected) << threads << " thread(s)";
        EXPECT_EQ(rig.Engine.ChannelThreads(), 1);  // the second thread lives only while a save runs
    }
}

TEST(ExportDriver, ProgressMovesInStepsOfFourUpToTheEnd) {
    TempFolder dir;
    WriteWav(dir.path() / "source.wav", NoisyTone(44100, 1), 44100, 1);
    ExportRig rig;
    rig.Load(dir.path() / "source.wav");
    ASSERT_TRUE(rig.Save(dir / "clean.wav"));
    const auto& p = rig.Host.Progress;
    ASSERT_FALSE(p.empty());
    for (size_t i = 0; i < p.size(); ++i) {
        EXPECT_EQ(p[i] % 4, 0);
        if (i > 0) {
            EXPECT_GT(p[i], p[i - 1]);
        }
    }
    // A block moves the value by about 23 here, so only some blocks land on a multiple of 4.
    EXPECT_GT(p.back(), 900);
    EXPECT_LE(p.back(), 1000);
}

TEST(ExportDriver, CancelLeavesAValidShorterFileAndRestoresTheControls) {
    TempFolder dir;
    WriteWav(dir.path() / "source.wav", NoisyTone(44100, 2), 44100, 2);
    ExportRig rig;
    rig.Load(dir.path() / "source.wav");
    rig.Host.OnEnter = [&rig] { rig.Driver.Cancel(); };
    ASSERT_TRUE(rig.Save(dir / "cancelled.wav"));
    const auto file = ReadFile(dir.path() / "cancelled.wav");
    ExpectConsistentWav(file);
    EXPECT_LT(file.size(), 44u + 44100u * 4u);
    EXPECT_EQ(rig.Host.Left, 1);
    EXPECT_FALSE(rig.Driver.Exporting());
    EXPECT_TRUE(rig.Host.Errors.empty());

    // The writer is idle once the controls are back: a new save starts at once.
    rig.Host.OnEnter = nullptr;
    ASSERT_TRUE(rig.Save(dir / "full.wav"));
    EXPECT_TRUE(rig.Host.Errors.empty());
    EXPECT_EQ(ReadFile(dir.path() / "full.wav").size(), 44u + 44100u * 4u + 2048u);
}

TEST(ExportDriver, ChecksRefuseBeforeAnythingChanges) {
    TempFolder dir;
    WriteWav(dir.path() / "song.wav", NoisyTone(4096, 1), 44100, 1);
    std::filesystem::create_directory(dir.path() / "sub");
    ExportRig rig;
    rig.Load(dir.path() / "song.wav");
    // With WAV chosen, sub/../song.mp3 becomes the source itself under another spelling.
    EXPECT_FALSE(rig.Save((dir.path() / "sub" / ".." / "song.mp3").string()));
    ASSERT_EQ(rig.Host.Asked.size(), 1u);
    EXPECT_EQ(rig.Host.Asked[0].Caption, "Same file");
    EXPECT_EQ(rig.Host.Entered, 0);
    EXPECT_FALSE(rig.Driver.Exporting());

    rig.Host.Answer = false;
    std::ofstream(dir / "taken.wav") << "keep";
    EXPECT_FALSE(rig.Save(dir / "taken.wav"));
    EXPECT_EQ(ReadFile(dir.path() / "taken.wav").size(), 4u);
    EXPECT_EQ(rig.Host.Entered, 0);
}

TEST(ExportDriver, AnOutputThatCannotBeCreatedEndsTheSaveWithItsError) {
    TempFolder dir;
    WriteWav(dir.path() / "source.wav", NoisyTone(4096, 1), 44100, 1);
    // The folder exists, but no file can be created in it, not even by root.
    const std::string cannotCreate = "/proc/murmex-cannot-create.wav";
    ExportRig rig;
    rig.Load(dir.path() / "source.wav");
    EXPECT_FALSE(rig.Save(cannotCreate));
    ASSERT_EQ(rig.Host.Errors.size(), 1u);
    EXPECT_EQ(rig.Host.Errors[0].rfind(cannotCreate + ": ", 0), 0u) << rig.Host.Errors[0];
    EXPECT_GT(rig.Host.Errors[0].size(), cannotCreate.size() + 2);
    EXPECT_EQ(rig.Host.Entered, rig.Host.Left);
    EXPECT_FALSE(rig.Driver.Exporting());
    EXPECT_EQ(rig.Driver.Outcome(), ExportOutcome::Failed);
    EXPECT_TRUE(rig.Driver.KeptFileName().empty());

    ASSERT_TRUE(rig.Save(dir / "ok.wav"));
    EXPECT_EQ(rig.Host.Errors.size(), 1u);
    EXPECT_EQ(rig.Driver.Outcome(), ExportOutcome::Saved);
}

TEST(ExportDriver, Mp3SavesInARowEachGetTheirOwnTag) {
    TempFolder dir;
    WriteWav(dir.path() / "source.wav", NoisyTone(22050, 1), 44100, 1);
    struct Case {
        std::filesystem::path source;
        std::string expectedTitle1, expectedTitle2;
    };
    const Case cases[] = {
        {dir.path() / "source.wav", "take1", "take2"},
        {FixturePath("tagged_22050_64k.mp3"), "Old Song", "Old Song"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source.string());
        ExportRig rig;
        rig.Load(c.source);
        const TID3v1 loaded = rig.Loader.Tags().Id3v1;
        rig.Settings.SelectFormat("mp3");
        ASSERT_TRUE(rig.Save(dir / "take1.wav"));  // becomes take1.mp3
        ASSERT_TRUE(rig.Host.Errors.empty()) << rig.Host.Errors[0];
        ASSERT_TRUE(rig.Save(dir / "take2.mp3"));
        ASSERT_TRUE(rig.Host.Errors.empty()) << rig.Host.Errors[0];
        EXPECT_EQ(rig.Loader.Tags().Id3v1.HasTag(), loaded.HasTag());
        EXPECT_EQ(rig.Loader.Tags().Id3v1.Title(), loaded.Title());
        EXPECT_EQ(rig.Loader.Tags().Id3v1.Comment(), loaded.Comment());

        const std::pair<const char*, std::string> written[] = {{"take1.mp3", c.expectedTitle1},
                                                               {"take2.mp3", c.expectedTitle2}};
        for (const auto& [name, title] : written) {
            const auto file = ReadFile(dir.path() / name);
            ASSERT_GT(file.size(), 256u);
            EXPECT_EQ(std::memcmp(file.data() + file.size() - 128, "TAG", 3), 0) << name;
            EXPECT_NE(std::memcmp(file.data() + file.size() - 256, "TAG", 3), 0) << name << ": two tags";
            TID3v1 tag;
            ASSERT_TRUE(tag.ReadTagFromFile(dir.path() / name));
            EXPECT_EQ(tag.Title(), title) << name;
            EXPECT_EQ(tag.Comment(), "Denoised by Tarlo Murmex") << name;
        }
        std::filesystem::remove(dir.path() / "take1.mp3");
        std::filesystem::remove(dir.path() / "take2.mp3");
    }
}

TEST(ExportDriver, Mp3OfATaggedSourceKeepsItsFieldsAndFillsAnEmptyComment) {
    TempFolder dir;
    ExportRig rig;
    rig.Load(FixturePath("tagged_22050_64k.mp3"));
    rig.Settings.SelectFormat("mp3");
    ASSERT_TRUE(rig.Save(dir / "out.mp3"));
    ASSERT_TRUE(rig.Host.Errors.empty()) << rig.Host.Errors[0];
    TID3v1 tag;
    ASSERT_TRUE(tag.ReadTagFromFile(dir.path() / "out.mp3"));
    EXPECT_EQ(tag.Title(), "Old Song");
    EXPECT_EQ(tag.Artist(), "Old Band");
    EXPECT_EQ(tag.Comment(), "Denoised by Tarlo Murmex");
}

}  // namespace
}  // namespace murmex
