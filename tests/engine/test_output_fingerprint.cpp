// Bit-exact fingerprints of long processing runs. Every output block and, at intervals, every
// per-channel state array is hashed, so a rewrite of the per-block arithmetic that alters a
// single bit anywhere fails here. The expected values were recorded from the straightforward
// per-bin implementation.
//
// The hashes also depend on the FFT's rounding. FFTW_MEASURE picks among plans by timing, so
// the plans are pinned with recorded wisdom; a machine whose FFTW cannot use that wisdom
// (another version, no AVX) plans afresh. The run therefore first fingerprints the transform
// on a fixed frame; when that differs from the recorded one, the stored hashes do not apply
// and the test skips rather than blame the engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "engine_test_support.h"

namespace murmex::test {
namespace {

constexpr size_t kBlock = SpectralEngine::kBlockSamples;
constexpr int kBlocksPerRun = 2400;
constexpr int kCheckpointEvery = 400;
constexpr int kStateEvery = 8;

class Fnv1a {
public:
    void Add(const void* data, size_t bytes) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < bytes; ++i) {
            value_ ^= p[i];
            value_ *= 0x100000001b3ull;
        }
    }
    uint64_t Value() const { return value_; }

private:
    uint64_t value_ = 0xcbf29ce484222325ull;
};

void AddState(Fnv1a& hash, const SpectralEngine& engine) {
    for (const auto* array :
         {&engine.BinPower(), &engine.SmoothedPower(), &engine.NoiseTracker(), &engine.LocalMinimum(),
          &engine.PreviousMinimum(), &engine.AdaptStep(), &engine.CapturedNoise(), &engine.NoiseEstimate(),
          &engine.BiasedNoise(), &engine.BinRatio(), &engine.PreviousRatio(), &engine.BinGain()}) {
        // Channel slot by slot, without the padding between slots: the bytes the hashes were
        // recorded from.
        for (int slot = 0; slot < SpectralEngine::kChannelSlots; ++slot) {
            hash.Add(array->data() + slot * SpectralEngine::kChannelStride, SpectralEngine::kBins * sizeof(float));
        }
    }
    const bool capture = engine.CaptureActive();
    hash.Add(&capture, sizeof capture);
}


// Hash of one forward and one inverse transform of a fixed frame, planned in this process as
// the engine's plans are.
uint64_t TransformFingerprint() {
    FftwInterface fft;
    fft.CreatePlans();
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    for (int i = 0; i < FftwInterface::kSize; ++i) fft.FftInput()[i] = static_cast<float>(sample(rng)) * 0.7f;
    fft.ExecuteForward();
    fft.ExecuteInverse();
    Fnv1a hash;
    hash.Add(fft.FftSpectrum(), 2 * FftwInterface::kBins * sizeof(float));
    hash.Add(fft.FftOutput(), FftwInterface::kSize * sizeof(float));
    return hash.Value();
}

// Interleaved input made of segments of silence, hiss at levels from barely there to
// clipping, tones over hiss, full-scale square waves and lone clicks; each channel draws
// its own segments.
class MixtureGenerator {
public:
    MixtureGenerator(int channels, unsigned seed) : channels_(channels), rng_(seed), state_(channels) {}

    void Fill(int16_t* block) {
        for (size_t frame = 0; frame < kBlock / channels_; ++frame) {
            for (int c = 0; c < channels_; ++c) block[frame * channels_ + c] = Next(state_[c]);
        }
    }

private:
    enum class Kind { Silence, Hiss, ToneOverHiss, FullScaleSquare, Clicks };
    struct Segment {
        Kind kind = Kind::Silence;
        int remaining = 0;
        double sigma = 0.0;
        double amplitude = 0.0;
        double cycles = 0.0;
        long n = 0;
    };

    int16_t Next(Segment& s) {
        if (s.remaining-- <= 0) Restart(s);
        const double t = static_cast<double>(s.n++);
        double v = 0.0;
        switch (s.kind) {
            case Kind::Silence: break;
            case Kind::Hiss: v = Noise(s.sigma); break;
            case Kind::ToneOverHiss: v = Sine(static_cast<size_t>(t), s.amplitude, s.cycles) + Noise(s.sigma); break;
            case Kind::FullScaleSquare: v = (s.n / 41) % 2 ? 40000.0 : -40000.0; break;
            case Kind::Clicks: v = s.n % 997 == 0 ? 32767.0 : Noise(s.sigma); break;
        }
        return static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
    }

    void Restart(Segment& s) {
        std::uniform_int_distribution<int> kind(0, 4);
        std::uniform_int_distribution<int> length(2 * static_cast<int>(kBlock), 60 * static_cast<int>(kBlock));
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        s.kind = static_cast<Kind>(kind(rng_));
        s.remaining = length(rng_) / channels_;
        s.sigma = std::pow(10.0, unit(rng_) * 5.0) * 0.5;  // 0.5 .. 50000
        s.amplitude = unit(rng_) * 30000.0;
        s.cycles = unit(rng_) * 0.5;
        s.n = 0;
    }

    double Noise(double sigma) { return std::normal_distribution<double>(0.0, sigma)(rng_); }

    int channels_;
    std::mt19937 rng_;
    std::vector<Segment> state_;
};

// Changes one setting or none, with the given chances in percent, in this order: "Stop noise
// estimation", "Capture minima", "Fourier detail amplifier", "DC offset correction", the bias
// slider, the reduction slider, a new run. `roll` is a draw from 0..99.
void ChangeOneSetting(int roll, const std::array<int, 7>& chances, std::mt19937& events, ProcessingOptions& options,
                      SpectralEngine& engine) {
    int which = 0;
    int limit = chances[0];
    while (which < 7 && roll >= limit) {
        ++which;
        if (which < 7) limit += chances[which];
    }
    switch (which) {
        case 0: options.StopNoiseEstimation = !options.StopNoiseEstimation; break;
        case 1: options.CaptureMinima = !options.CaptureMinima; break;
        case 2: options.DetailAmplifier = !options.DetailAmplifier; break;
        case 3: options.DcOffsetCorrection = !options.DcOffsetCorrection; break;
        case 4: SetBiasPosition(std::uniform_int_distribution<int>(kBiasMinPosition, kBiasMaxPosition)(events), options); break;
        case 5:
            SetReductionPosition(std::uniform_int_distribution<int>(kReductionMinPosition, kReductionMaxPosition)(events),
                                 options);
            break;
        case 6: engine.PrepareEngine(); break;
        default: break;
    }
}

struct RunHashes {
    std::vector<uint64_t> output;  // of all output blocks so far, at each checkpoint
    std::vector<uint64_t> state;   // of the state samples so far, at each checkpoint
};

// Processes kBlocksPerRun blocks, flipping the switches, moving the two sliders, turning
// preview reduction off and starting new runs at random blocks.
RunHashes RunMixture(int channels, unsigned seed, int threads = 1,
                     NoiseReductionMethod method = NoiseReductionMethod::Classic) {
    LoadedEngine loaded(channels);
    SpectralEngine& engine = *loaded.engine;
    ProcessingOptions& options = loaded.options;
    options.Method = method;
    engine.SetChannelThreads(threads);
    MixtureGenerator input(channels, seed);
    std::mt19937 events(seed + 1000);
    std::uniform_int_distribution<int> percent(0, 99);

    Fnv1a outputHash;
    Fnv1a stateHash;
    RunHashes hashes;
    for (int b = 1; b <= kBlocksPerRun; ++b) {
        const int event = percent(events);
        ChangeOneSetting(event, {3, 3, 3, 2, 3, 3, 1}, events, options, engine);
        const bool process = event != 18;

        input.Fill(engine.InputBlockData());
        if (options.DcOffsetCorrection) {
            engine.RemoveDcOffset(engine.InputBlockData(), SpectralEngine::kBlockBytes, channels);
        }
        engine.ShiftHistory();
        engine.ProcessBlock(process);
        outputHash.Add(engine.OutputBlock().data(), kBlock * sizeof(int16_t));
        if (b % kStateEvery == 0) AddState(stateHash, engine);
        if (b % kCheckpointEvery == 0) {
            hashes.output.push_back(outputHash.Value());
            hashes.state.push_back(stateHash.Value());
        }
    }
    return hashes;
}

// A save's way through the engine: runs of 1 to kMaxBatchBlocks blocks, the switches and sliders
// changed between runs. inRuns: ProcessBlocks with the second channel on a thread of its own;
// else the same blocks one at a time on one thread. The state is hashed after every run.
RunHashes RunStereoMixtureInRuns(unsigned seed, bool inRuns) {
    LoadedEngine loaded(2);
    SpectralEngine& engine = *loaded.engine;
    ProcessingOptions& options = loaded.options;
    engine.SetChannelThreads(inRuns ? 2 : 1);
    MixtureGenerator input(2, seed);
    std::mt19937 events(seed + 1000);
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> length(1, SpectralEngine::kMaxBatchBlocks);
    std::vector<int16_t> blocks(SpectralEngine::kMaxBatchBlocks * kBlock);
    std::vector<int16_t> outputs(blocks.size());

    Fnv1a outputHash;
    RunHashes hashes;
    for (int run = 0; run < 150; ++run) {
        ChangeOneSetting(percent(events), {10, 15, 10, 10, 10, 10, 1}, events, options, engine);
        const int count = length(events);
        for (int b = 0; b < count; ++b) {
            int16_t* block = blocks.data() + b * kBlock;
            input.Fill(block);
            if (options.DcOffsetCorrection) engine.RemoveDcOffset(block, SpectralEngine::kBlockBytes, 2);
        }
        if (inRuns) {
            engine.ProcessBlocks(blocks.data(), outputs.data(), count);
        } else {
            for (int b = 0; b < count; ++b) {
                std::copy_n(blocks.begin() + b * kBlock, kBlock, engine.InputBlockData());
                engine.ShiftHistory();
                engine.ProcessBlock(true);
                std::copy_n(engine.OutputBlock().begin(), kBlock, outputs.begin() + b * kBlock);
            }
        }
        outputHash.Add(outputs.data(), static_cast<size_t>(count) * kBlock * sizeof(int16_t));
        Fnv1a stateHash;
        AddState(stateHash, engine);
        stateHash.Add(engine.InputBlock().data(), kBlock * sizeof(int16_t));
        stateHash.Add(engine.OutputBlock().data(), kBlock * sizeof(int16_t));
        hashes.output.push_back(outputHash.Value());
        hashes.state.push_back(stateHash.Value());
    }
    return hashes;
}

constexpr uint64_t kRecordedTransform = 0x4a80f04183484e65ull;

class OutputFingerprint : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(MURMEX_PIN_AVX2_LOOPS)
        if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "this machine cannot run the AVX2 loops";
#endif
        // Only the engine's own tuned plans, not what earlier tests measured.
        fftwf_forget_wisdom();
        const uint64_t transform = TransformFingerprint();
        if (transform != kRecordedTransform) {
            GTEST_SKIP() << "FFT rounding differs from the recorded machine (fingerprint 0x" << std::hex
                         << transform << "); the stored hashes do not apply";
        }
    }
};

TEST_F(OutputFingerprint, MonoMixtureMatchesRecordedHashes) {
    const RunHashes hashes = RunMixture(1, 7);
    EXPECT_EQ(hashes.output, (std::vector<uint64_t>{
                                 12819094469158324085ull, 12671672761437062212ull, 4583859624899238260ull,
                                 13666093284747393482ull, 11641831322352024005ull, 8417404516593596851ull}));
    EXPECT_EQ(hashes.state, (std::vector<uint64_t>{
                                 462568309654810275ull, 66215458653011822ull, 8470832518743566970ull,
                                 10758199231932013081ull, 2256754485778664124ull, 7300184524540422320ull}));
}

TEST_F(OutputFingerprint, StereoMixtureMatchesRecordedHashes) {
    const RunHashes hashes = RunMixture(2, 8);
    const RunHashes twoThreads = RunMixture(2, 8, 2);
    EXPECT_EQ(twoThreads.output, hashes.output);
    EXPECT_EQ(twoThreads.state, hashes.state);
    EXPECT_EQ(hashes.output, (std::vector<uint64_t>{
                                 17260792947486409039ull, 6960618577124542910ull, 4818982701717427658ull,
                                 14315863055057760494ull, 17176000172080407320ull, 2876077789825625425ull}));
    EXPECT_EQ(hashes.state, (std::vector<uint64_t>{
                                 15593884407156257575ull, 8741846156133308813ull, 9023126826279381471ull,
                                 11253015472802283207ull, 6807471807886589044ull, 10390586344959178077ull}));
}

TEST_F(OutputFingerprint, AdaptiveStereoIsTheSameOnTwoThreads) {
    const RunHashes one = RunMixture(2, 9, 1, NoiseReductionMethod::Adaptive);
    const RunHashes two = RunMixture(2, 9, 2, NoiseReductionMethod::Adaptive);
    EXPECT_EQ(two.output, one.output);
    EXPECT_EQ(two.state, one.state);
}

TEST_F(OutputFingerprint, StereoRunsOfBlocksOnTwoThreadsMatchBlockByBlock) {
    const RunHashes single = RunStereoMixtureInRuns(10, false);
    const RunHashes runs = RunStereoMixtureInRuns(10, true);
    EXPECT_EQ(runs.output, single.output);
    EXPECT_EQ(runs.state, single.state);
}

}  // namespace
}  // namespace murmex::test
