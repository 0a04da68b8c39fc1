// The adaptive method: how far it brings noise down, what it leaves of a tone, how it follows
// a noise that grows and what a learning pass gives the run after it.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine_test_support.h"

namespace murmex::test {
namespace {

constexpr size_t kBlock = SpectralEngine::kBlockSamples;
constexpr double kRate = AdaptiveDenoiser::kDefaultSampleRate;

double Db(double ratio) { return 10.0 * std::log10(ratio); }

// Mean square of samples [from, to) of an interleaved stream.
double Power(const std::vector<int16_t>& s, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t n = from; n < to; ++n) sum += static_cast<double>(s[n]) * s[n];
    return sum / static_cast<double>(to - from);
}

// Amplitude of the sine of `cycles` per sample frame in channel 0 of s[from, to), by projection.
double ToneAmplitude(const std::vector<int16_t>& s, int channels, double cycles, size_t from, size_t to) {
    double re = 0.0;
    double im = 0.0;
    size_t count = 0;
    for (size_t n = from; n < to; n += static_cast<size_t>(channels), ++count) {
        const double phase = 2.0 * M_PI * cycles * static_cast<double>(n / static_cast<size_t>(channels));
        re += s[n] * std::cos(phase);
        im += s[n] * std::sin(phase);
    }
    return 2.0 * std::hypot(re, im) / static_cast<double>(count);
}

struct AdaptiveEngine : LoadedEngine {
    explicit AdaptiveEngine(int channels, int reduction = kReductionInitialPosition, int sampleRate = kRate)
        : LoadedEngine(channels, sampleRate) {
        options.Method = NoiseReductionMethod::Adaptive;
        SetReductionPosition(reduction, options);
    }
};

// Brown noise per channel (white noise through a leaky integrator with its corner at 20 Hz),
// interleaved, scaled to the given standard deviation.
std::vector<double> BrownNoise(size_t samples, int channels, double sigma, unsigned seed) {
    const auto white = GaussianNoise(samples, 1.0, seed);
    const double leak = std::exp(-2.0 * M_PI * 20.0 / kRate);
    std::vector<double> brown(samples);
    std::vector<double> state(static_cast<size_t>(channels), 0.0);
    double sum = 0.0;
    for (size_t n = 0; n < samples; ++n) {
        double& y = state[n % static_cast<size_t>(channels)];
        y = leak * y + white[n];
        brown[n] = y;
        sum += y * y;
    }
    const double scale = sigma / std::sqrt(sum / static_cast<double>(samples));
    for (double& v : brown) v *= scale;
    return brown;
}

size_t Samples(double seconds, int channels) {
    const auto blocks = static_cast<size_t>(std::ceil(seconds * kRate * channels / kBlock));
    return blocks * kBlock;
}

TEST(AdaptiveMethod, NamesAndGainFloorsFollowTheSliders) {
    for (auto method : {NoiseReductionMethod::Classic, NoiseReductionMethod::Adaptive}) {
        EXPECT_EQ(MethodFromName(MethodName(method)), method);
    }
    EXPECT_FALSE(MethodFromName("Adaptive").has_value());
    const struct {
        int position;
        double floorDb;
    } cases[] = {{100, -3.5}, {600, -10.5}, {1100, -17.5}};
    for (const auto& c : cases) {
        const double floor = AdaptiveDenoiser::GainFloorFor(ReductionFactorFor(c.position));
        EXPECT_NEAR(20.0 * std::log10(floor), c.floorDb, 0.01) << c.position;
    }
}

// Seeded noise alone, white and brown (whose power gathers in the real 0 Hz bin and its
// neighbours), at levels 30 dB apart: from the first second on, whatever the level, the output
// is at least as far down as the floor "Reduction level" names, and never below a bin's lowest
// gain (the overlap-add rounds towards zero, which costs up to 0.4 dB at the lowest level).
TEST(AdaptiveMethod, NoiseAloneIsCutByAtLeastTheFloorAfterASecond) {
    const struct {
        int channels;
        int reduction;
        double sigma;
        bool brown;
    } cases[] = {{1, 600, 60.0, false},  {1, 600, 1900.0, false}, {2, 600, 60.0, false}, {2, 600, 1900.0, false},
                 {1, 100, 600.0, false}, {2, 1100, 600.0, false}, {1, 600, 1500.0, true}, {2, 600, 1500.0, true}};
    for (const auto& c : cases) {
        AdaptiveEngine loaded(c.channels, c.reduction);
        const size_t total = Samples(6.0, c.channels);
        const auto noise = c.brown ? BrownNoise(total, c.channels, c.sigma, 7) : GaussianNoise(total, c.sigma, 7);
        const auto input = MakeSignal(total, [&](size_t n) { return noise[n]; });
        const auto output = RunAll(*loaded.engine, input, true);
        const size_t settled = Samples(1.0, c.channels);
        const double floor = AdaptiveDenoiser::GainFloorFor(ReductionFactorFor(c.reduction));
        const double floorDb = 20.0 * std::log10(floor);
        const double binFloorDb = 20.0 * std::log10(std::pow(floor, AdaptiveDenoiser::kBinFloorExponent));
        const double drop = Db(Power(output, settled, total) / Power(input, settled - kBlock, total - kBlock));
        const auto label = ::testing::Message() << c.channels << " ch, reduction " << c.reduction << ", sigma "
                                                << c.sigma << (c.brown ? ", brown" : ", white");
        EXPECT_LE(drop, floorDb) << label;
        EXPECT_GE(drop, binFloorDb - 0.4) << label;
    }
}

// At every rate a frame lasts 20-40 ms and the reported latency is the true one: with the
// spectral stage off the output is the input that many frames later, within the rounding. Noise
// alone is then cut to the floor after a second, and a tone in it keeps its level.
TEST(AdaptiveMethod, WorksInTimeAtEveryRate) {
    for (const int rate : {8000, 11025, 16000, 48000, 96000, 192000}) {
        for (const int channels : {1, 2}) {
            const auto label = ::testing::Message() << rate << " Hz, " << channels << " ch";
            AdaptiveEngine loaded(channels, kReductionInitialPosition, rate);
            const double frameSeconds = static_cast<double>(loaded.engine->Framing().FrameSize()) / rate;
            EXPECT_GE(frameSeconds, 0.02) << label;
            EXPECT_LT(frameSeconds, 0.04) << label;
            const size_t delay = static_cast<size_t>(loaded.engine->LatencyFrames()) * channels;
            EXPECT_EQ(delay % kBlock, 0u) << label;

            const size_t total = static_cast<size_t>(std::ceil(4.0 * rate * channels / kBlock)) * kBlock;
            const auto noise = GaussianNoise(total, 600.0, 11);
            const double cycles = 1000.0 / rate;
            const auto input = MakeSignal(total, [&](size_t n) { return noise[n]; });
            EXPECT_LE(MaxDelayedDifference(input, RunAll(*loaded.engine, input, false), delay), 1) << label;

            const auto output = RunAll(*loaded.engine, input, true);
            const size_t settled = static_cast<size_t>(1.5 * rate) * channels;
            const double floorDb = 20.0 * std::log10(AdaptiveDenoiser::GainFloorFor(ReductionFactorFor(kReductionInitialPosition)));
            EXPECT_LE(Db(Power(output, settled + delay, total) / Power(input, settled, total - delay)), floorDb) << label;

            const size_t toneFrom = static_cast<size_t>(1.0 * rate) * channels;
            const auto withTone = MakeSignal(total, [&](size_t n) {
                return noise[n] + (n < toneFrom ? 0.0 : Sine(n / static_cast<size_t>(channels), 3000.0, cycles));
            });
            loaded.engine->PrepareEngine();
            const auto cleaned = RunAll(*loaded.engine, withTone, true);
            const double in = ToneAmplitude(withTone, channels, cycles, settled, total - delay);
            const double out = ToneAmplitude(cleaned, channels, cycles, settled + delay, total);
            EXPECT_NEAR(20.0 * std::log10(out / in), 0.0, 1.0) << label;
        }
    }
}

// A steady tone that starts after a second of noise keeps its level within 1 dB, for as long
// as it lasts: the tracker does not take it for noise.
TEST(AdaptiveMethod, SteadyToneInNoisePassesWithin1Db) {
    const struct {
        int channels;
        double cycles;
        double amplitude;
        double sigma;
    } cases[] = {{1, 1000.0 / kRate, 3000.0, 300.0}, {1, 6000.0 / kRate, 1000.0, 300.0}, {2, 440.0 / kRate, 3000.0, 100.0}};
    for (const auto& c : cases) {
        AdaptiveEngine loaded(c.channels);
        const size_t total = Samples(8.0, c.channels);
        const size_t start = Samples(1.0, c.channels);
        const auto noise = GaussianNoise(total, c.sigma, 3);
        const auto input = MakeSignal(total, [&](size_t n) {
            const double tone = n < start ? 0.0 : Sine(n / static_cast<size_t>(c.channels), c.amplitude, c.cycles);
            return noise[n] + tone;
        });
        const auto output = RunAll(*loaded.engine, input, true);
        const size_t from = Samples(2.0, c.channels);
        const double in = ToneAmplitude(input, c.channels, c.cycles, from - kBlock, total - kBlock);
        const double out = ToneAmplitude(output, c.channels, c.cycles, from, total);
        EXPECT_NEAR(20.0 * std::log10(out / in), 0.0, 1.0) << c.channels << " ch, " << c.cycles * kRate << " Hz";
    }
}

// Noise 12 dB louder from the fourth second on: within about a second the output is back
// near the floor below the new level.
TEST(AdaptiveMethod, FollowsANoiseThatGrowsWithinASecond) {
    for (int channels : {1, 2}) {
        AdaptiveEngine loaded(channels);
        const size_t total = Samples(8.0, channels);
        const size_t step = Samples(4.0, channels);
        const auto noise = GaussianNoise(total, 200.0, 5);
        const auto input = MakeSignal(total, [&](size_t n) { return noise[n] * (n < step ? 1.0 : 4.0); });
        const auto output = RunAll(*loaded.engine, input, true);
        const size_t settled = Samples(5.5, channels);
        const double drop = Db(Power(output, settled, total) / Power(input, settled - kBlock, total - kBlock));
        EXPECT_LE(drop, -9.0) << channels << " ch";
    }
}

// A pass that writes nothing teaches the next run: its first blocks are already cut near the
// floor, with no warm-up left. "Stop noise estimation" keeps the estimate across runs the same way.
TEST(AdaptiveMethod, LearnedNoiseHoldsFromTheFirstBlock) {
    const struct {
        int channels;
        bool viaStopSwitch;
    } cases[] = {{1, false}, {2, false}, {1, true}};
    for (const auto& c : cases) {
        const size_t total = Samples(4.0, c.channels);
        const auto noise = GaussianNoise(total, 500.0, 9);
        const auto input = MakeSignal(total, [&](size_t n) { return noise[n]; });
        const size_t head = 8 * kBlock;

        AdaptiveEngine learnt(c.channels);
        RunAll(*learnt.engine, input, true);
        if (c.viaStopSwitch) {
            learnt.options.StopNoiseEstimation = true;
            learnt.engine->PrepareEngine();
        } else {
            learnt.engine->PrepareEngineKeepingNoise();
        }
        EXPECT_EQ(learnt.engine->Adaptive().WarmUpFramesLeft(), 0);
        const auto output = RunAll(*learnt.engine, input, true);
        EXPECT_LE(Db(Power(output, 2 * kBlock, head) / Power(input, kBlock, head - kBlock)), -9.0)
            << c.channels << " ch" << (c.viaStopSwitch ? ", estimation stopped" : "");
    }
}

}  // namespace
}  // namespace murmex::test
