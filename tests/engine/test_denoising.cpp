// What the spectral stage does to silence, tones and noise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine_test_support.h"

namespace murmex::test {
namespace {

constexpr size_t kBlock = SpectralEngine::kBlockSamples;

// Tones centred on a mono bin: bin / 2048 cycles per sample.
double BinFrequency(int bin) { return bin / 2048.0; }

double Power(const std::vector<int16_t>& samples, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t n = from; n < to; ++n) sum += static_cast<double>(samples[n]) * samples[n];
    return sum / static_cast<double>(to - from);
}

TEST(Denoising, SilenceSettlesOnGainsNearOnePercent) {
    for (int channels : {1, 2}) {
        LoadedEngine loaded(channels);
        const auto output = RunAll(*loaded.engine, std::vector<int16_t>(20 * kBlock, 0), true);
        EXPECT_TRUE(std::all_of(output.begin(), output.end(), [](int16_t s) { return s == 0; }));
        for (int c = 0; c < channels; ++c) {
            for (int k = 1; k < SpectralEngine::kBins; k += 2) {
                const int i = c * SpectralEngine::kChannelStride + k;
                ASSERT_NEAR(loaded.engine->BinGain()[i], 0.01, 0.0005) << "channel " << c << " bin " << k;
                ASSERT_GT(loaded.engine->BiasedNoise()[i], 0.0f);
            }
        }
    }
}

TEST(Denoising, SteadyLoudTonePassesWithUnitGain) {
    LoadedEngine loaded(1);
    const int bin = 256;
    const auto input = MakeSignal(60 * kBlock, [&](size_t n) { return Sine(n, 8000.0, BinFrequency(bin)); });
    const auto output = RunAll(*loaded.engine, input, true);

    for (int k = bin - 1; k <= bin + 1; k += 2) EXPECT_NEAR(loaded.engine->BinGain()[k], 1.0, 0.01) << k;
    EXPECT_LE(MaxDelayedDifference(input, output, kBlock, 10 * kBlock), 8);
}

TEST(Denoising, WhiteNoiseUnderAToneIsReduced) {
    // A quiet hiss under a loud tone: once the noise floor has been learnt, what is left
    // after subtracting the tone is far below the hiss that went in.
    LoadedEngine loaded(1);
    const size_t blocks = 300;
    const double sigma = 10.0;
    const auto noise = GaussianNoise(blocks * kBlock, sigma);
    const auto tone = [](size_t n) { return Sine(n, 4000.0, BinFrequency(256)); };
    const auto input = MakeSignal(blocks * kBlock, [&](size_t n) { return noise[n] + tone(n); });
    const auto output = RunAll(*loaded.engine, input, true);

    double residual = 0.0;
    double toneEnergy = 0.0;
    double toneKept = 0.0;
    for (size_t n = (blocks - 50) * kBlock; n < output.size(); ++n) {
        const double expected = tone(n - kBlock);
        residual += (output[n] - expected) * (output[n] - expected);
        toneEnergy += expected * expected;
        toneKept += output[n] * expected;
    }
    const double inputNoise = sigma * sigma * 50 * kBlock;
    EXPECT_LT(residual / inputNoise, 0.25) << "noise power must drop by more than 6 dB";
    EXPECT_NEAR(toneKept / toneEnergy, 1.0, 0.01);
}

// Mean output power of a steady tone after the gains have settled.
double SettledTonePower(int bin, bool detail) {
    LoadedEngine loaded(1);
    loaded.options.DetailAmplifier = detail;
    const auto input = MakeSignal(30 * kBlock, [&](size_t n) { return Sine(n, 6000.0, BinFrequency(bin)); });
    const auto output = RunAll(*loaded.engine, input, true);
    return Power(output, 20 * kBlock, output.size());
}

TEST(Denoising, DetailAmplifierBoostsOnlyStrongHighBins) {
    for (int bin : {200, 408}) {
        EXPECT_NEAR(SettledTonePower(bin, true) / SettledTonePower(bin, false), 1.0, 0.01) << bin;
    }
    for (int bin : {412, 700}) {
        EXPECT_NEAR(SettledTonePower(bin, true) / SettledTonePower(bin, false), 1.35 * 1.35, 0.05) << bin;
    }
}

TEST(Denoising, DcAndNyquistBinsPassWhileEveryOtherBinIsClosed) {
    LoadedEngine loaded(1);
    // A bias this large puts every bin under the noise threshold, so all processed gains
    // settle near 0.01.
    loaded.options.BiasFactor = 1e30f;
    const double a = 8000.0;
    const auto input = MakeSignal(30 * kBlock, [&](size_t n) {
        return a * 0.5 + a * 0.5 * ((n % 2) ? -1.0 : 1.0) + Sine(n, a, BinFrequency(300));
    });
    const auto output = RunAll(*loaded.engine, input, true);

    double dc = 0.0;
    double nyquist = 0.0;
    double midTone = 0.0;
    const size_t from = 20 * kBlock;
    for (size_t n = from; n < output.size(); ++n) {
        dc += output[n];
        nyquist += output[n] * ((n % 2) ? -1.0 : 1.0);
        midTone += output[n] * Sine(n - kBlock, 1.0, BinFrequency(300));
    }
    const double count = static_cast<double>(output.size() - from);
    // Bins 0 and 1024 alone rebuild about 0.81 of a steady component; their neighbours are closed.
    EXPECT_NEAR(dc / count, 0.81 * a * 0.5, 0.1 * a * 0.5);
    EXPECT_NEAR(nyquist / count, 0.81 * a * 0.5, 0.1 * a * 0.5);
    EXPECT_LT(std::fabs(midTone / count), 0.02 * a) << "a mid-band tone must be closed";
}

TEST(Denoising, StereoChannelsAreIndependent) {
    const size_t samples = 40 * kBlock;
    const auto left = GaussianNoise(samples / 2, 20.0, 7);
    const auto loud = GaussianNoise(samples / 2, 12000.0, 9);
    auto run = [&](bool loudRight) {
        LoadedEngine loaded(2);
        const auto input = MakeSignal(samples, [&](size_t n) {
            const size_t frame = n / 2;
            if (n % 2 == 0) return left[frame] + Sine(frame, 3000.0, 0.02);
            return loudRight ? loud[frame] : 0.0;
        });
        return RunAll(*loaded.engine, input, true);
    };
    const auto quietRight = run(false);
    const auto loudRight = run(true);
    for (size_t n = 0; n < samples; n += 2) {
        ASSERT_EQ(quietRight[n], loudRight[n]) << n;
        ASSERT_EQ(quietRight[n + 1], 0) << n + 1;
    }
}

TEST(Denoising, OverflowingGainTermsNeverReachTheSamples) {
    // "Stop noise estimation" at the first run leaves the noise estimate at zero, so the
    // biased noise is 1e-20 and loud bins push the ratio term to the top of the float range;
    // at the weakest slider setting it stays just below, so a smaller factor forces the
    // overflow. Such bins must pass whole.
    for (float reduction : {ReductionFactorFor(kReductionMinPosition), 1e-6f}) {
        LoadedEngine loaded(1);
        loaded.options.StopNoiseEstimation = true;
        loaded.options.ReductionFactor = reduction;
        loaded.engine->PrepareEngine();
        const auto input = MakeSignal(30 * kBlock, [](size_t n) {
            return Sine(n, 32767.0, 0.05) + ((n / 64) % 2 ? 20000.0 : -20000.0);
        });
        const auto output = RunAll(*loaded.engine, input, true);

        for (int k = 0; k < SpectralEngine::kBins; ++k) {
            ASSERT_TRUE(std::isfinite(loaded.engine->BinGain()[k])) << reduction << " bin " << k;
        }
        EXPECT_LE(MaxDelayedDifference(input, output, kBlock), 8) << reduction;
    }
}

}  // namespace
}  // namespace murmex::test
