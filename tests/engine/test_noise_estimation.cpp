// "Stop noise estimation" and "Capture minima": which estimate is used and what a new run keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine_test_support.h"

namespace murmex::test {
namespace {

constexpr size_t kBlock = SpectralEngine::kBlockSamples;
constexpr int kBins = SpectralEngine::kBins;

std::vector<int16_t> Hiss(size_t blocks, double sigma, unsigned seed = 3) {
    const auto noise = GaussianNoise(blocks * kBlock, sigma, seed);
    return MakeSignal(noise.size(), [&](size_t n) { return noise[n]; });
}

// Odd bins whose values differ between two arrays.
int ChangedOddBins(const SpectralEngine::StateArray& a, const SpectralEngine::StateArray& b) {
    int changed = 0;
    for (int k = 1; k < kBins; k += 2) changed += a[k] != b[k];
    return changed;
}

TEST(NoiseEstimation, StoppedEstimateStaysFrozenAndSurvivesPrepare) {
    LoadedEngine loaded(1);
    SpectralEngine& engine = *loaded.engine;
    RunAll(engine, Hiss(40, 10.0), true);

    loaded.options.StopNoiseEstimation = true;
    const auto print = engine.NoiseEstimate();
    const auto tracker = engine.NoiseTracker();
    const auto minimum = engine.PreviousMinimum();
    RunAll(engine, Hiss(10, 3000.0, 5), true);
    EXPECT_EQ(engine.NoiseEstimate(), print);
    EXPECT_EQ(engine.NoiseTracker(), tracker) << "only the floor of 1 may touch the tracker";
    EXPECT_EQ(engine.PreviousMinimum(), minimum);

    engine.PrepareEngine();
    EXPECT_EQ(engine.NoiseEstimate(), print);
    EXPECT_EQ(engine.NoiseTracker(), tracker);
    EXPECT_EQ(engine.PreviousMinimum(), minimum);
    EXPECT_EQ(engine.AdaptStep()[1], 1e-20f) << "the step restarts whatever the switch";

    loaded.options.StopNoiseEstimation = false;
    RunAll(engine, Hiss(5, 3000.0, 6), true);
    EXPECT_GT(ChangedOddBins(engine.NoiseEstimate(), print), 400) << "tracking resumes";

    engine.PrepareEngine();
    EXPECT_EQ(engine.NoiseEstimate()[101], 0.0f);
    EXPECT_EQ(engine.NoiseTracker()[101], 1.0f);
    EXPECT_EQ(engine.PreviousMinimum()[101], 1.1f);
}

TEST(NoiseEstimation, StoppedAtTheFirstRunMeansNoEstimate) {
    LoadedEngine loaded(2);
    loaded.options.StopNoiseEstimation = true;
    loaded.engine->PrepareEngine();
    RunAll(*loaded.engine, Hiss(6, 500.0), true);
    for (int c = 0; c < 2; ++c) {
        for (int k = 1; k < kBins; k += 2) {
            ASSERT_EQ(loaded.engine->NoiseEstimate()[c * SpectralEngine::kChannelStride + k], 0.0f) << c << " " << k;
            ASSERT_EQ(loaded.engine->BiasedNoise()[c * SpectralEngine::kChannelStride + k], 1e-20f) << c << " " << k;
        }
    }
}

TEST(NoiseEstimation, CaptureMinimaHoldsASnapshotUntilSwitchedOff) {
    LoadedEngine loaded(1);
    SpectralEngine& engine = *loaded.engine;
    RunAll(engine, Hiss(60, 10.0), true);
    ASSERT_FALSE(engine.CaptureActive());

    loaded.options.CaptureMinima = true;
    RunAll(engine, Hiss(1, 10.0, 4), true);
    EXPECT_TRUE(engine.CaptureActive());
    EXPECT_EQ(ChangedOddBins(engine.NoiseEstimate(), engine.NoiseTracker()), 0) << "the first block still uses the tracker";
    EXPECT_EQ(engine.CapturedNoise(), engine.NoiseTracker());
    const auto snapshot = engine.CapturedNoise();
    ASSERT_GT(snapshot[201], 100.0f) << "the hiss must have been learnt for this test to mean anything";

    // Silence drags the tracker down at once; the estimate must stay at the snapshot.
    RunAll(engine, std::vector<int16_t>(40 * kBlock, 0), true);
    EXPECT_LE(engine.NoiseTracker()[201], 1.0f);
    for (int k = 1; k < kBins; k += 2) ASSERT_EQ(engine.NoiseEstimate()[k], snapshot[k]) << k;

    engine.PrepareEngine();
    EXPECT_TRUE(engine.CaptureActive());
    EXPECT_EQ(engine.CapturedNoise(), snapshot) << "a capture outlives the run";

    loaded.options.CaptureMinima = false;
    RunAll(engine, std::vector<int16_t>(2 * kBlock, 0), true);
    EXPECT_FALSE(engine.CaptureActive());
    EXPECT_EQ(engine.CapturedNoise(), SpectralEngine::StateArray{});
    EXPECT_EQ(ChangedOddBins(engine.NoiseEstimate(), engine.NoiseTracker()), 0);
}

TEST(NoiseEstimation, CaptureStateChangesEvenWithoutProcessing) {
    LoadedEngine loaded(1);
    loaded.options.CaptureMinima = true;
    RunAll(*loaded.engine, std::vector<int16_t>(kBlock, 0), false);
    EXPECT_TRUE(loaded.engine->CaptureActive());
    EXPECT_EQ(loaded.engine->CapturedNoise(), loaded.engine->NoiseTracker());
}

TEST(NoiseEstimation, TrackersFollowTheNeighbourhoodMinimumRules) {
    // One frame checked against the rules written out plainly: the minimum over odd bins
    // k-8..k+8 (this frame's smoothed power up to k, the previous frame's above), then the
    // rising or falling update of tracker and step.
    LoadedEngine loaded(1);
    SpectralEngine& engine = *loaded.engine;
    const auto signal = Hiss(30, 40.0, 8);
    VectorSource source(signal);
    int rising = 0;
    int falling = 0;
    for (int block = 0; block < 30; ++block) {
        const auto smoothedBefore = engine.SmoothedPower();
        const auto trackerBefore = engine.NoiseTracker();
        const auto stepBefore = engine.AdaptStep();
        const auto previousBefore = engine.PreviousMinimum();
        RunBlockContract(engine, source, true);
        const auto& smoothed = engine.SmoothedPower();
        for (int k = 1; k < kBins; k += 2) {
            float minimum = 9e32f;
            for (int j = std::max(1, k - 8); j <= std::min(1023, k + 8); j += 2) {
                minimum = std::min(minimum, j <= k ? smoothed[j] : smoothedBefore[j]);
            }
            ASSERT_EQ(engine.LocalMinimum()[k], minimum) << "block " << block << " bin " << k;

            const float tracker = std::max(trackerBefore[k], 1.0f);
            const float step = previousBefore[k] < 10.0f ? 0.01f : stepBefore[k];
            if (minimum >= previousBefore[k]) {
                ++rising;
                ASSERT_FLOAT_EQ(engine.NoiseTracker()[k], tracker + step * std::max(previousBefore[k] - tracker, 0.0f));
                ASSERT_EQ(engine.AdaptStep()[k], 0.0f);
            } else {
                ++falling;
                ASSERT_FLOAT_EQ(engine.NoiseTracker()[k], std::min(tracker, minimum));
                ASSERT_FLOAT_EQ(engine.AdaptStep()[k],
                                std::min(std::sqrt(1.0f / (previousBefore[k] - minimum)) + step, 0.1f));
            }
            ASSERT_EQ(engine.PreviousMinimum()[k], minimum);
            ASSERT_EQ(engine.NoiseEstimate()[k], engine.NoiseTracker()[k]);
        }
    }
    EXPECT_GT(rising, 1000);
    EXPECT_GT(falling, 1000);
}

}  // namespace
}  // namespace murmex::test
