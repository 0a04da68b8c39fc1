// Framing, tables, plans and the block contract: what must hold whatever the gains are.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine/fftw_interface.h"
#include "engine_test_support.h"

namespace murmex::test {
namespace {

constexpr size_t kBlock = SpectralEngine::kBlockSamples;

std::vector<int16_t> BusySignal(size_t samples) {
    const auto noise = GaussianNoise(samples, 3000.0);
    return MakeSignal(samples, [&](size_t n) { return noise[n] + Sine(n, 9000.0, 0.013); });
}

class BypassTest : public ::testing::TestWithParam<int> {};

TEST_P(BypassTest, ReproducesInputOneBlockLaterAndLeavesStateAlone) {
    LoadedEngine loaded(GetParam());
    SpectralEngine& engine = *loaded.engine;
    const auto input = BusySignal(40 * kBlock);
    const auto output = RunAll(engine, input, false);

    EXPECT_TRUE(std::all_of(output.begin(), output.begin() + kBlock, [](int16_t s) { return s == 0; }))
        << "the first block is the engine's latency and must be silent";
    EXPECT_LE(MaxDelayedDifference(input, output, kBlock), 3);
    EXPECT_GT(MaxDelayedDifference(input, output, 0), 1000) << "output must actually lag";

    for (int bin = 0; bin < SpectralEngine::kBins - 1; ++bin) {
        ASSERT_EQ(engine.BinGain()[bin], 1.0f);
        ASSERT_EQ(engine.BinPower()[bin], 0.0f);
        ASSERT_EQ(engine.NoiseTracker()[bin], 1.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(MonoAndStereo, BypassTest, ::testing::Values(1, 2));

TEST(Framing, FramesAndWindowsFollowTheChannelCount) {
    LoadedEngine loaded(1);
    SpectralEngine& engine = *loaded.engine;
    EXPECT_EQ(engine.FrameLength(), 2048);
    const auto& w = engine.AnalysisWindow();
    for (size_t k = 0; k < kBlock; ++k) {
        ASSERT_NEAR(w[k] * w[k] + w[k + kBlock] * w[k + kBlock], 1.0, 1e-6) << k;
    }

    loaded.Load(2);
    EXPECT_EQ(engine.FrameLength(), 1024);
    for (size_t k = 0; k < 512; ++k) {
        ASSERT_NEAR(w[k] * w[k] + w[k + 512] * w[k + 512], 1.0, 1e-6) << k;
    }
    EXPECT_TRUE(std::all_of(w.begin() + 1024, w.end(), [](float v) { return v == 0.0f; }));

    const auto& kernel = engine.SmoothingKernel();
    EXPECT_FLOAT_EQ(kernel[0], 0.75f);
    EXPECT_FLOAT_EQ(kernel[1], 0.75f);
    EXPECT_NEAR(kernel[2], 0.0f, 1e-6);

    EXPECT_THROW(engine.SetChannels(3), std::invalid_argument);
    EXPECT_THROW(engine.SetChannels(0), std::invalid_argument);
}

TEST(Framing, StereoAfterMonoKeepsTheFftPaddingZero) {
    LoadedEngine loaded(1);
    SpectralEngine& engine = *loaded.engine;
    RunAll(engine, BusySignal(6 * kBlock), true);
    const float* input = engine.Fft().FftInput();
    ASSERT_TRUE(std::any_of(input + 1024, input + 2048, [](float v) { return v != 0.0f; }))
        << "a mono run fills the whole transform input";

    loaded.Load(2);
    engine.PrepareEngine();
    EXPECT_TRUE(std::all_of(input + 1024, input + 2048, [](float v) { return v == 0.0f; }));

    VectorSource source(BusySignal(6 * kBlock));
    for (int block = 0; block < 6; ++block) {
        RunBlockContract(engine, source, true);
        ASSERT_TRUE(std::all_of(input + 1024, input + 2048, [](float v) { return v == 0.0f; })) << block;
    }
    EXPECT_TRUE(std::any_of(input, input + 1024, [](float v) { return v != 0.0f; }));
}

TEST(Framing, PlansAreReusedWithinAFileAndRemadeAfterALoad) {
    LoadedEngine loaded(2);
    SpectralEngine& engine = *loaded.engine;
    EXPECT_TRUE(engine.EngineReady());
    EXPECT_EQ(engine.Fft().PlansCreated(), 1);

    engine.PrepareEngine();
    engine.PrepareEngine();
    EXPECT_EQ(engine.Fft().PlansCreated(), 1);

    loaded.Load(1);
    EXPECT_FALSE(engine.EngineReady());
    engine.PrepareEngine();
    EXPECT_EQ(engine.Fft().PlansCreated(), 2);
    EXPECT_TRUE(engine.Fft().HasPlans());

    engine.ReleasePlans();
    EXPECT_FALSE(engine.Fft().HasPlans());
    engine.PrepareEngine();
    EXPECT_EQ(engine.Fft().PlansCreated(), 3);
}

// The tuned plans cover both transforms, so on a machine with AVX planning needs no measuring:
// every process then computes with the same algorithms and gives the same output bits.
TEST(Framing, TunedPlansCoverBothTransforms) {
    fftwf_forget_wisdom();
    ASSERT_TRUE(FftwInterface::ImportTunedPlans());
    if (!__builtin_cpu_supports("avx")) GTEST_SKIP() << "the tuned plans use AVX";
    float* real = fftwf_alloc_real(FftwInterface::kSize);
    fftwf_complex* spectrum = fftwf_alloc_complex(FftwInterface::kBins);
    const unsigned wisdomOnly = FFTW_MEASURE | FFTW_WISDOM_ONLY;
    fftwf_plan forward = fftwf_plan_dft_r2c_1d(FftwInterface::kSize, real, spectrum, wisdomOnly);
    fftwf_plan inverse = fftwf_plan_dft_c2r_1d(FftwInterface::kSize, spectrum, real, wisdomOnly);
    EXPECT_NE(forward, nullptr);
    EXPECT_NE(inverse, nullptr);
    if (forward != nullptr) fftwf_destroy_plan(forward);
    if (inverse != nullptr) fftwf_destroy_plan(inverse);
    fftwf_free(real);
    fftwf_free(spectrum);
}

TEST(Framing, PrepareStartsEveryRunFromSilence) {
    LoadedEngine loaded(1);
    SpectralEngine& engine = *loaded.engine;
    const auto input = BusySignal(8 * kBlock);
    const auto first = RunAll(engine, input, true);
    engine.PrepareEngine();
    EXPECT_TRUE(std::all_of(engine.OutputBlock().begin(), engine.OutputBlock().end(), [](int16_t s) { return s == 0; }));
    EXPECT_EQ(engine.DcPowerAverage(), 0.0f);
    EXPECT_EQ(engine.Bin1PowerAverage(), 100.0f);
    EXPECT_EQ(RunAll(engine, input, true), first) << "a second run of the same input must repeat the first";
}

TEST(BlockContract, ShortAndEmptyReadsKeepWhatTheBlockHeld) {
    LoadedEngine loaded(1);
    SpectralEngine& engine = *loaded.engine;
    std::vector<int16_t> input(kBlock + 100);
    for (size_t n = 0; n < input.size(); ++n) input[n] = static_cast<int16_t>(n + 1);
    VectorSource source(input);

    EXPECT_EQ(RunBlockContract(engine, source, false), 2048);
    EXPECT_EQ(RunBlockContract(engine, source, false), 200);
    EXPECT_EQ(engine.InputBlock()[99], 1124);
    EXPECT_EQ(engine.InputBlock()[100], 101) << "the unread tail keeps the previous block's samples";
    EXPECT_EQ(RunBlockContract(engine, source, false), 0);
    EXPECT_EQ(engine.InputBlock()[0], 1025);
}

TEST(BlockContract, DcCorrectionRunsOnlyWhenSwitchedOnAndDataWasRead) {
    LoadedEngine loaded(1);
    SpectralEngine& engine = *loaded.engine;
    const std::vector<int16_t> constant(2 * kBlock, 1000);

    VectorSource plain(constant);
    RunBlockContract(engine, plain, false);
    EXPECT_EQ(engine.InputBlock()[kBlock - 1], 1000);

    loaded.options.DcOffsetCorrection = true;
    engine.PrepareEngine();
    VectorSource corrected(std::vector<int16_t>(kBlock, 1000));
    RunBlockContract(engine, corrected, false);
    const int16_t afterFirst = engine.InputBlock()[kBlock - 1];
    EXPECT_LT(afterFirst, 1000);
    RunBlockContract(engine, corrected, false);
    EXPECT_EQ(engine.InputBlock()[kBlock - 1], afterFirst) << "an empty read must not filter the block again";
}

}  // namespace
}  // namespace murmex::test
