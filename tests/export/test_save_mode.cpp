// The save modes: sample-aligned output (no delay, the source's exact length) and the noise
// print learnt before a save, from the whole source or from a stretch of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "export/aligned_framing.h"
#include "tests/export/export_rig.h"

namespace murmex {
namespace {

using namespace murmex::testing;
namespace fs = std::filesystem;

constexpr uint32_t kRate = 44100;

// Serves a buffer at most `chunk` bytes per read, as a decoder may.
class ChunkedSource : public BlockSource {
public:
    ChunkedSource(std::vector<uint8_t> bytes, int chunk) : bytes_(std::move(bytes)), chunk_(chunk) {}
    int ReadBlock(void* dst, int maxBytes) override {
        const size_t n = std::min({bytes_.size() - offset_, static_cast<size_t>(maxBytes), static_cast<size_t>(chunk_)});
        std::memcpy(dst, bytes_.data() + offset_, n);
        offset_ += n;
        return static_cast<int>(n);
    }

private:
    std::vector<uint8_t> bytes_;
    int chunk_;
    size_t offset_ = 0;
};

TEST(AlignedFraming, WritesExactlyWhatWasReadAfterDroppingTheLatency) {
    constexpr int kBlock = SpectralEngine::kBlockBytes;
    for (const int sourceBytes : {0, 2, kBlock - 2, kBlock, kBlock + 2, 5 * kBlock, 5 * kBlock + 700}) {
        for (const int chunk : {kBlock, 300, 2}) {
            SCOPED_TRACE(std::to_string(sourceBytes) + " bytes read " + std::to_string(chunk) + " at a time");
            std::vector<uint8_t> bytes(static_cast<size_t>(sourceBytes));
            for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(1 + i % 251);
            ChunkedSource source(bytes, chunk);
            PaddedBlockSource padded(source);
            AlignedFraming framing(1);
            std::vector<uint8_t> served;
            std::vector<int> written;
            std::vector<uint8_t> block(kBlock);
            for (int guard = 0; guard < 100; ++guard) {
                ASSERT_EQ(padded.ReadBlock(block.data(), kBlock), kBlock);
                served.insert(served.end(), block.begin(), block.begin() + padded.LastRead());
                // What the source no longer has is silence.
                EXPECT_TRUE(std::all_of(block.begin() + padded.LastRead(), block.end(), [](uint8_t b) { return b == 0; }));
                const int n = framing.BytesToWrite(padded.LastRead());
                if (n == AlignedFraming::kEnd) break;
                written.push_back(n);
            }
            EXPECT_EQ(served, bytes);
            ASSERT_FALSE(written.empty());
            EXPECT_EQ(written.front(), AlignedFraming::kDropBlock);  // the engine's latency
            const int64_t total = [&] { int64_t t = 0; for (int n : written) t += n; return t; }();
            EXPECT_EQ(total, sourceBytes);
            EXPECT_EQ(framing.BytesWritten(), framing.BytesRead());
        }
    }
}

// Interleaved samples: tone bursts of changing pitch and level over steady white noise, so the
// cross-correlation of input and output has one clear peak.
std::vector<int16_t> BurstsInNoise(size_t frames, int channels, size_t quietFrames = 0, uint32_t seed = 7) {
    std::vector<int16_t> samples(frames * static_cast<size_t>(channels));
    uint32_t state = seed;
    const size_t burst = 2205;
    for (size_t f = 0; f < frames; ++f) {
        const size_t index = f / burst;
        const bool on = f >= quietFrames && index % 3 != 2;
        const double pitch = 0.02 + 0.013 * static_cast<double>((index * 7) % 11);
        const double level = on ? 3000.0 + 900.0 * static_cast<double>((index * 5) % 7) : 0.0;
        for (int c = 0; c < channels; ++c) {
            state = state * 1664525u + 1013904223u;
            const double noise = static_cast<double>(static_cast<int32_t>(state >> 16) - 32768) * 0.04;
            samples[f * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                static_cast<int16_t>(level * std::sin(static_cast<double>(f) * pitch * (1 + c)) + noise);
        }
    }
    return samples;
}

struct Decoded {
    std::vector<int16_t> Samples;
    int Channels = 0;
    size_t Frames() const { return Channels > 0 ? Samples.size() / static_cast<size_t>(Channels) : 0; }
};

Decoded DecodeFile(const fs::path& path) {
    const std::string name = path.string();
    const HSTREAM stream = path.extension() == ".wma"
                               ? BASS_WMA_StreamCreateFile(false, name.c_str(), 0, 0, BASS_STREAM_DECODE)
                               : BASS_StreamCreateFile(false, name.c_str(), 0, 0, BASS_STREAM_DECODE);
    Decoded out;
    if (stream == 0) {
        ADD_FAILURE() << name << " cannot be decoded";
        return out;
    }
    BASS_CHANNELINFO info;
    BASS_ChannelGetInfo(stream, &info);
    out.Channels = static_cast<int>(info.chans);
    std::vector<int16_t> block(4096);
    for (;;) {
        const uint32_t n = BASS_ChannelGetData(stream, block.data(), static_cast<uint32_t>(block.size() * 2));
        if (n == 0 || n == BASS_COUNT_ERROR) break;
        out.Samples.insert(out.Samples.end(), block.begin(), block.begin() + n / 2);
    }
    BASS_StreamFree(stream);
    return out;
}

// The lag (in frames) at which channel 0 of `output` best matches channel 0 of `input`,
// searched within +-maxLag over a stretch from the middle of the input.
int LagOf(const std::vector<int16_t>& input, const Decoded& output, int channels, int maxLag) {
    const auto at = [](const std::vector<int16_t>& s, int ch, long f) { return static_cast<double>(s[static_cast<size_t>(f * ch)]); };
    const long inFrames = static_cast<long>(input.size()) / channels;
    const long outFrames = static_cast<long>(output.Frames());
    const long from = inFrames / 3;
    const long length = std::min<long>(12000, inFrames / 3);
    double best = -1e300;
    int bestLag = 0;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double sum = 0.0;
        for (long f = from; f < from + length; ++f) {
            const long g = f + lag;
            if (g >= 0 && g < outFrames) sum += at(input, channels, f) * at(output.Samples, output.Channels, g);
        }
        if (sum > best) {
            best = sum;
            bestLag = lag;
        }
    }
    return bestLag;
}

// Every field spelt out, as designated initializers that skip one are a warning.
SaveMode Mode(bool learn, bool aligned, std::optional<std::pair<double, double>> stretch = std::nullopt) {
    SaveMode mode;
    mode.LearnNoiseFirst = learn;
    mode.Aligned = aligned;
    mode.NoiseFrom = stretch;
    return mode;
}

class SaveModeTest : public ::testing::Test {
protected:
    // Saves `source` (written as a WAV in the test folder) in `format` and decodes the result.
    Decoded SaveAndDecode(const std::vector<int16_t>& source, int channels, const std::string& format,
                          NoiseReductionMethod method, const SaveMode& mode, const std::string& name = "out") {
        WriteWav(dir_.path() / "source.wav", source, kRate, static_cast<uint16_t>(channels));
        ExportRig rig;
        rig.Load(dir_.path() / "source.wav");
        rig.Options.Method = method;
        rig.Settings.SelectFormat(format);
        rig.Driver.SetSaveMode(mode);
        const fs::path output = dir_.path() / (name + "." + format);
        EXPECT_TRUE(rig.Save(output.string()));
        EXPECT_EQ(rig.Driver.Outcome(), ExportOutcome::Saved);
        EXPECT_TRUE(rig.Host.Errors.empty()) << rig.Host.Errors.front();
        lastProgress_ = rig.Host.Progress;
        return DecodeFile(output);
    }

    TempFolder dir_;
    std::vector<int> lastProgress_;
};

TEST_F(SaveModeTest, AlignedOutputHasTheSourceLengthAndNoDelayInEveryFormat) {
    struct Case {
        std::string format;
        int extraFrames;  // the encoder's own padding the decoder may leave at the end
        int lagSlack;     // the encoder's own delay the decoder may leave at the start
    };
    const Case cases[] = {{"wav", 0, 0}, {"mp3", 2400, 1200}, {"ogg", 2400, 1200}, {"wma", 4096, 2048}};
    const int channels = 2;
    const size_t frames = 3 * kRate / 2 + 333;
    const auto source = BurstsInNoise(frames, channels);
    const int latency = SpectralEngine::kLatencyBlocks * SpectralEngine::kBlockSamples / channels;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        // The engine's own framing, as the reference the encoders' delay is measured against.
        const Decoded framed = SaveAndDecode(source, channels, c.format, NoiseReductionMethod::Classic, {}, "framed");
        const int framedLag = LagOf(source, framed, channels, 3 * latency + c.lagSlack);
        for (const auto method : {NoiseReductionMethod::Classic, NoiseReductionMethod::Adaptive}) {
            SCOPED_TRACE(std::string(MethodName(method)));
            const Decoded aligned = SaveAndDecode(source, channels, c.format, method, Mode(false, true));
            ASSERT_EQ(aligned.Channels, channels);
            const int lag = LagOf(source, aligned, channels, 3 * latency + c.lagSlack);
            // The leading block and the engine's latency are gone, whatever the codec adds.
            EXPECT_EQ(framedLag - lag, latency + SpectralEngine::kBlockSamples / channels);
            EXPECT_LE(std::abs(lag), c.lagSlack);
            EXPECT_GE(aligned.Frames(), frames);
            EXPECT_LE(aligned.Frames(), frames + static_cast<size_t>(c.extraFrames));
        }
    }
}

TEST_F(SaveModeTest, AlignedWavIsExactForAnyLengthAndChannelCount) {
    for (const int channels : {1, 2}) {
        for (const size_t frames : {size_t{1}, size_t{511}, size_t{512}, size_t{1024}, size_t{1025}, size_t{9000}}) {
            SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(frames) + " frames");
            const auto source = BurstsInNoise(frames, channels);
            const Decoded out = SaveAndDecode(source, channels, "wav", NoiseReductionMethod::Adaptive, Mode(false, true));
            EXPECT_EQ(out.Samples.size(), source.size());
            ExpectConsistentWav(dir_.path() / "out.wav", static_cast<uint32_t>(source.size() * 2));
        }
    }
}

double Rms(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to; ++i) {
        const double d = static_cast<double>(a[i]) - (b.empty() ? 0.0 : static_cast<double>(b[i]));
        sum += d * d;
    }
    return std::sqrt(sum / static_cast<double>(to - from));
}

TEST_F(SaveModeTest, ANoisePrintChangesTheFirstSecondsAndNotTheSettledEnd) {
    struct Case {
        const char* name;
        NoiseReductionMethod method;
        SaveMode mode;
        bool stopEstimation;
    };
    // The source opens with a second of noise only, then bursts start.
    const size_t frames = 6 * kRate;
    const auto source = BurstsInNoise(frames, 1, kRate);
    const Case cases[] = {
        {"adaptive, learn", NoiseReductionMethod::Adaptive, Mode(true, true), false},
        {"adaptive, noise from 0-1 s", NoiseReductionMethod::Adaptive, Mode(false, true, std::pair{0.0, 1.0}), false},
        {"classic, learn", NoiseReductionMethod::Classic, Mode(true, true), false},
    };
    const size_t head = kRate / 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded plain = SaveAndDecode(source, 1, "wav", c.method, Mode(false, true), "plain");
        const Decoded learnt = SaveAndDecode(source, 1, "wav", c.method, c.mode, "learnt");
        ASSERT_EQ(plain.Samples.size(), frames);
        ASSERT_EQ(learnt.Samples.size(), frames);
        const double headChange = Rms(plain.Samples, learnt.Samples, 0, head);
        // The classic tracker learns slowly at any level, so its print only nudges the start.
        EXPECT_GT(headChange, c.method == NoiseReductionMethod::Adaptive ? 0.1 * Rms(plain.Samples, {}, 0, head) : 0.0);
        if (c.method == NoiseReductionMethod::Adaptive) {
            // Once the tracker has settled, where it started no longer matters.
            const double endChange = Rms(plain.Samples, learnt.Samples, frames - kRate, frames);
            EXPECT_LT(endChange, 0.01 * Rms(plain.Samples, {}, frames - kRate, frames));
        }
        // The bar goes once through both passes.
        ASSERT_FALSE(lastProgress_.empty());
        EXPECT_TRUE(std::is_sorted(lastProgress_.begin(), lastProgress_.end()));
        EXPECT_GT(lastProgress_.back(), 900);
    }
}

TEST_F(SaveModeTest, StopNoiseEstimationFreezesWhatTheLearningPassLearnt) {
    const size_t frames = 3 * kRate;
    const auto source = BurstsInNoise(frames, 1, kRate);
    WriteWav(dir_.path() / "source.wav", source, kRate, 1);
    std::vector<std::vector<uint8_t>> saved;
    for (const bool learn : {false, true}) {
        ExportRig rig;
        rig.Load(dir_.path() / "source.wav");
        rig.Options.Method = NoiseReductionMethod::Adaptive;
        rig.Options.StopNoiseEstimation = true;
        rig.Driver.SetSaveMode(Mode(learn, false));
        const fs::path output = dir_.path() / (learn ? "learnt.wav" : "plain.wav");
        ASSERT_TRUE(rig.Save(output.string()));
        EXPECT_EQ(rig.Driver.Outcome(), ExportOutcome::Saved);
        // The switch is the user's: the pass lifts it only while it runs.
        EXPECT_TRUE(rig.Options.StopNoiseEstimation.load());
        saved.push_back(ReadFile(output));
    }
    EXPECT_NE(saved[0], saved[1]);
}

TEST_F(SaveModeTest, ANoiseStretchOutsideTheSourceOrACancelledLearningPassSavesNothing) {
    WriteWav(dir_.path() / "source.wav", BurstsInNoise(kRate, 1), kRate, 1);
    const std::string source = (dir_.path() / "source.wav").string();
    struct Case {
        const char* name;
        std::pair<double, double> stretch;
        const char* error;
    };
    const Case refused[] = {
        {"beyond the end", {0.5, 1.5}, "reaches beyond the end of the source (1 s)"},
        {"reversed", {0.8, 0.2}, "is not a range of seconds"},
        {"negative", {-1.0, 0.5}, "is not a range of seconds"},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        ExportRig rig;
        rig.Load(source);
        rig.Driver.SetSaveMode(Mode(false, false, c.stretch));
        EXPECT_FALSE(rig.Save(dir_ / "out.wav"));
        ASSERT_EQ(rig.Host.Errors.size(), 1u);
        EXPECT_TRUE(Contains(rig.Host.Errors[0], source + ": the noise stretch")) << rig.Host.Errors[0];
        EXPECT_TRUE(Contains(rig.Host.Errors[0], c.error)) << rig.Host.Errors[0];
        EXPECT_FALSE(fs::exists(dir_.path() / "out.wav"));
        EXPECT_EQ(rig.Host.Entered, 0);
    }

    // Cancel at the first progress shown, which the learning pass shows.
    ExportRig rig;
    rig.Load(source);
    rig.Driver.SetSaveMode(Mode(true, false));
    rig.Host.OnProgress = [&] { rig.Driver.Cancel(); };
    ASSERT_TRUE(rig.Save(dir_ / "cancelled.wav"));
    EXPECT_EQ(rig.Driver.Outcome(), ExportOutcome::Cancelled);
    EXPECT_TRUE(rig.Host.Errors.empty());
    EXPECT_EQ(rig.Host.Left, 1);
    ExpectConsistentWav(dir_.path() / "cancelled.wav");
    EXPECT_LE(ReadFile(dir_.path() / "cancelled.wav").size(), 44u + SpectralEngine::kBlockBytes);
}

}  // namespace
}  // namespace murmex
