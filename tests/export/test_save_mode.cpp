// The save modes: sample-aligned output (no delay, the source's exact length) and the noise
// print learnt before a save, from the whole source or from a stretch of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "tests/export/export_rig.h"

namespace murmex {
namespace {

using namespace murmex::testing;
namespace fs = std::filesystem;

constexpr uint32_t kRate = 44100;

// Tone bursts of changing pitch and level (from `quietFrames` on) over steady white noise, so
// the cross-correlation of input and output has one clear peak.
std::vector<int16_t> BurstsInNoise(size_t frames, int channels, size_t quietFrames = 0) {
    std::vector<int16_t> samples(frames * static_cast<size_t>(channels));
    uint32_t state = 7;
    for (size_t i = 0; i < samples.size(); ++i) {
        const size_t f = i / static_cast<size_t>(channels), burst = f / 2205;
        const double level = f >= quietFrames && burst % 3 != 2 ? 3000.0 + 900.0 * static_cast<double>(burst * 5 % 7) : 0.0;
        state = state * 1664525u + 1013904223u;
        const double noise = static_cast<double>(static_cast<int32_t>(state >> 16) - 32768) * 0.04;
        samples[i] = static_cast<int16_t>(level * std::sin(static_cast<double>(f) * (0.02 + 0.013 * static_cast<double>(burst * 7 % 11))) + noise);
    }
    return samples;
}

// Channel 0 of a decoded file.
std::vector<int16_t> DecodeFirstChannel(const fs::path& path, size_t& frames) {
    const std::string name = path.string();
    const HSTREAM stream = path.extension() == ".wma" ? BASS_WMA_StreamCreateFile(false, name.c_str(), 0, 0, BASS_STREAM_DECODE)
                                                     : BASS_StreamCreateFile(false, name.c_str(), 0, 0, BASS_STREAM_DECODE);
    BASS_CHANNELINFO info;
    EXPECT_TRUE(stream != 0 && BASS_ChannelGetInfo(stream, &info)) << name;
    std::vector<int16_t> first, block(4096);
    for (uint32_t n; stream != 0 && (n = BASS_ChannelGetData(stream, block.data(), 8192)) != 0 && n != BASS_COUNT_ERROR;) {
        for (uint32_t i = 0; i < n / 2; i += info.chans) first.push_back(block[i]);
    }
    BASS_StreamFree(stream);
    frames = first.size();
    return first;
}

// The lag in frames at which `output` best matches channel 0 of `input` (interleaved).
int LagOf(const std::vector<int16_t>& input, int channels, const std::vector<int16_t>& output, int maxLag) {
    const long frames = static_cast<long>(input.size()) / channels, from = frames / 3;
    double best = -1e300;
    int bestLag = 0;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double sum = 0.0;
        for (long f = from; f < from + std::min(12000L, from) && f + lag < static_cast<long>(output.size()); ++f)
            sum += static_cast<double>(input[static_cast<size_t>(f * channels)]) * output[static_cast<size_t>(f + lag)];
        if (sum > best) std::tie(best, bestLag) = std::pair{sum, lag};
    }
    return bestLag;
}

SaveMode Mode(bool learn, bool aligned, std::optional<std::pair<double, double>> stretch = std::nullopt) {
    SaveMode mode;
    mode.LearnNoiseFirst = learn;
    mode.Aligned = aligned;
    mode.NoiseFrom = stretch;
    return mode;
}

class SaveModeTest : public ::testing::Test {
protected:
    // Saves `source` in `format` and decodes channel 0 of the result.
    std::vector<int16_t> Save(const std::vector<int16_t>& source, int channels, const std::string& format,
                              NoiseReductionMethod method, const SaveMode& mode, bool stopEstimation = false) {
        WriteWav(dir_.path() / "source.wav", source, kRate, static_cast<uint16_t>(channels));
        ExportRig rig;
        rig.Load(dir_.path() / "source.wav");
        rig.Options.Method = method;
        rig.Options.StopNoiseEstimation = stopEstimation;
        rig.Settings.SelectFormat(format);
        rig.Driver.SetSaveMode(mode);
        const fs::path output = dir_.path() / ("out." + format);
        EXPECT_TRUE(rig.Save(output.string()));
        EXPECT_EQ(rig.Driver.Outcome(), ExportOutcome::Saved);
        // The switch is the user's: a learning pass lifts it only while it runs.
        EXPECT_EQ(rig.Options.StopNoiseEstimation.load(), stopEstimation);
        progress_ = rig.Host.Progress;
        return DecodeFirstChannel(output, frames_);
    }

    TempFolder dir_;
    size_t frames_ = 0;
    std::vector<int> progress_;
};

TEST_F(SaveModeTest, AlignedOutputHasTheSourceLengthAndNoDelayInEveryFormat) {
    struct Case {
        std::string format;
        int codecDelay;    // the most the encoder's own delay may add
        int codecPadding;  // the most the encoder's own padding may add at the end
    };
    const Case cases[] = {{"wav", 0, 0}, {"mp3", 1200, 2400}, {"ogg", 1200, 2400}, {"wma", 2048, 4096}};
    const int channels = 2, framedDelay = 2 * SpectralEngine::kBlockSamples / channels;
    const size_t frames = 3 * kRate / 2 + 333;
    const auto source = BurstsInNoise(frames, channels);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        // The engine's own framing is the reference the encoder's delay is measured against.
        const int framedLag = LagOf(source, channels, Save(source, channels, c.format, NoiseReductionMethod::Classic, {}),
                                    framedDelay + c.codecDelay);
        for (const auto method : {NoiseReductionMethod::Classic, NoiseReductionMethod::Adaptive}) {
            SCOPED_TRACE(std::string(MethodName(method)));
            const auto aligned = Save(source, channels, c.format, method, Mode(false, true));
            const int lag = LagOf(source, channels, aligned, framedDelay + c.codecDelay);
            EXPECT_EQ(framedLag - lag, framedDelay);
            EXPECT_LE(std::abs(lag), c.codecDelay);
            EXPECT_GE(frames_, frames);
            EXPECT_LE(frames_, frames + static_cast<size_t>(c.codecPadding));
        }
    }
    // Exact for a WAV of any length, partial blocks and shorter than the latency included.
    for (const size_t length : {size_t{1}, size_t{511}, size_t{512}, size_t{1025}, size_t{9000}}) {
        SCOPED_TRACE(length);
        Save(BurstsInNoise(length, 2), 2, "wav", NoiseReductionMethod::Adaptive, Mode(false, true));
        ExpectConsistentWav(dir_.path() / "out.wav", static_cast<uint32_t>(length * 4));
    }
}

double Rms(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to; ++i) sum += std::pow(static_cast<double>(a[i]) - (b.empty() ? 0.0 : b[i]), 2.0);
    return std::sqrt(sum / static_cast<double>(to - from));
}

TEST_F(SaveModeTest, ANoisePrintChangesTheFirstSecondsAndNotTheSettledEnd) {
    struct Case {
        const char* name;
        NoiseReductionMethod method;
        SaveMode mode;
        bool stopEstimation;
        double headChange;  // least RMS change of the first half second, relative to its level
        bool endSettles;    // the last second is the same with and without the print
    };
    // In its short frames the adaptive method's own warm-up is over within the first tenth of a
    // second, so a print changes a few percent of the first half second.
    const Case cases[] = {
        {"adaptive, learn", NoiseReductionMethod::Adaptive, Mode(true, true), false, 0.02, true},
        {"adaptive, noise from 0-1 s", NoiseReductionMethod::Adaptive, Mode(false, true, std::pair{0.0, 1.0}), false, 0.02, true},
        // The classic tracker learns slowly at any level, so its print only nudges the start.
        {"classic, learn", NoiseReductionMethod::Classic, Mode(true, true), false, 1e-6, true},
        // Frozen, the learnt estimate holds to the end.
        {"adaptive, learn, estimation stopped", NoiseReductionMethod::Adaptive, Mode(true, true), true, 0.1, false},
    };
    // A second of noise only, then bursts.
    const size_t frames = 6 * kRate, head = kRate / 2;
    const auto source = BurstsInNoise(frames, 1, kRate);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto plain = Save(source, 1, "wav", c.method, Mode(false, true), c.stopEstimation);
        const auto learnt = Save(source, 1, "wav", c.method, c.mode, c.stopEstimation);
        ASSERT_EQ(plain.size(), frames);
        ASSERT_EQ(learnt.size(), frames);
        EXPECT_GT(Rms(plain, learnt, 0, head), c.headChange * Rms(plain, {}, 0, head));
        const double endChange = Rms(plain, learnt, frames - kRate, frames) / Rms(plain, {}, frames - kRate, frames);
        EXPECT_EQ(endChange < 0.01, c.endSettles) << endChange;
        // The bar goes once through both passes.
        EXPECT_TRUE(std::is_sorted(progress_.begin(), progress_.end()));
        EXPECT_GT(progress_.back(), 900);
    }
}

TEST_F(SaveModeTest, ANoiseStretchOutsideTheSourceOrACancelledLearningPassSavesNothing) {
    WriteWav(dir_.path() / "source.wav", BurstsInNoise(kRate, 1), kRate, 1);
    const std::string source = dir_ / "source.wav";
    const std::pair<std::pair<double, double>, const char*> refused[] = {
        {{0.5, 1.5}, "reaches beyond the end of the source (1 s)"},
        {{0.8, 0.2}, "is not a range of seconds"},
        {{-1.0, 0.5}, "is not a range of seconds"},
        {{0.0, 0.00001}, "holds 0 samples, fewer than one engine frame (2048 samples, 0.0464 s)"},
        {{0.2, 0.2 + 2047.0 / kRate}, "holds 2047 samples, fewer than one engine frame"},
    };
    for (const auto& [stretch, error] : refused) {
        SCOPED_TRACE(error);
        ExportRig rig;
        rig.Load(source);
        rig.Driver.SetSaveMode(Mode(false, false, stretch));
        EXPECT_FALSE(rig.Save(dir_ / "out.wav"));
        ASSERT_EQ(rig.Host.Errors.size(), 1u);
        EXPECT_TRUE(Contains(rig.Host.Errors[0], source + ": the noise stretch")) << rig.Host.Errors[0];
        EXPECT_TRUE(Contains(rig.Host.Errors[0], error)) << rig.Host.Errors[0];
        EXPECT_FALSE(fs::exists(dir_.path() / "out.wav"));
        EXPECT_EQ(rig.Host.Entered, 0);
    }

    // Cancel pressed as the save starts stops the learning pass at its first block: the bar
    // hardly moves and the file holds only the leading block.
    ExportRig rig;
    rig.Load(source);
    rig.Driver.SetSaveMode(Mode(true, false));
    rig.Host.OnEnter = [&] { rig.Driver.Cancel(); };
    ASSERT_TRUE(rig.Save(dir_ / "cancelled.wav"));
    EXPECT_EQ(rig.Driver.Outcome(), ExportOutcome::Cancelled);
    EXPECT_TRUE(rig.Host.Errors.empty());
    EXPECT_TRUE(std::all_of(rig.Host.Progress.begin(), rig.Host.Progress.end(), [](int p) { return p < 50; }));
    EXPECT_EQ(rig.Host.Left, 1);
    ExpectConsistentWav(dir_.path() / "cancelled.wav", SpectralEngine::kBlockBytes);
}

}  // namespace
}  // namespace murmex
