#include "plugin/live_denoiser.h"

#include <algorithm>

#include "engine/block_contract.h"
#include "engine/sample_conversion.h"
#include "plugin/fft_planning.h"

namespace murmex {

namespace {

// Full scale of a float sample in 16-bit units, both ways: the decoder's scale, so that a file
// and the same audio from a host meet the engine as the same samples.
constexpr double kFullScale = 32768.0;
constexpr float kInverseFullScale = 1.0f / 32768.0f;

// The host's samples are written straight into the engine's input block, so reading a block
// finds it already full.
class GatheredBlock : public BlockSource {
public:
    int ReadBlock(void*, int maxBytes) override { return maxBytes; }
};

}  // namespace

LiveDenoiser::LiveDenoiser(int channels, double sampleRate) : engine_(options_) {
    engine_.SetChannels(channels);
    // A rate that is no number or out of all proportion leaves the engine's default rate.
    engine_.SetSampleRate(sampleRate >= 1.0 && sampleRate <= 1e7 ? static_cast<int>(sampleRate + 0.5) : 0);
    engine_.BuildAnalysisWindow();
    engine_.BuildSmoothingKernel();
    engine_.ResetPreviousMinimum();
    engine_.ComputeDcCoefficient();
    blockFrames_ = SpectralEngine::kBlockSamples / channels;
    std::lock_guard lock(FftPlanningMutex());
    engine_.PrepareEngine();
}

LiveDenoiser::~LiveDenoiser() {
    std::lock_guard lock(FftPlanningMutex());
    engine_.ReleasePlans();
}

void LiveDenoiser::Restart() {
    if (fresh_) return;
    // The plans exist, so this plans nothing.
    engine_.PrepareEngine();
    position_ = 0;
    fresh_ = true;
}

bool LiveDenoiser::RestoreNoise(const LearntNoise& noise) {
    if (noise.Channels() != engine_.Channels()) return false;
    noise.Restore(engine_);
    position_ = 0;
    fresh_ = true;
    return true;
}

void LiveDenoiser::Process(const float* const* in, float* const* out, uint32_t frames, bool process) {
    const int channels = engine_.Channels();
    fresh_ = fresh_ && frames == 0;
    uint32_t done = 0;
    while (done < frames) {
        const int n = static_cast<int>(std::min<uint32_t>(frames - done, static_cast<uint32_t>(blockFrames_ - position_)));
        int16_t* gathered = engine_.InputBlockData() + position_ * channels;
        const int16_t* processed = engine_.OutputBlock().data() + position_ * channels;
        // Every input of the stretch is read before its output is written, as the host may
        // hand the same buffer for both.
        for (int c = 0; c < channels; ++c) {
            const float* source = in[c] + done;
            for (int i = 0; i < n; ++i) gathered[i * channels + c] = RoundToSample(source[i] * kFullScale);
        }
        for (int c = 0; c < channels; ++c) {
            float* target = out[c] + done;
            for (int i = 0; i < n; ++i) target[i] = processed[i * channels + c] * kInverseFullScale;
        }
        position_ += n;
        done += static_cast<uint32_t>(n);
        if (position_ == blockFrames_) ProcessEngineBlock(process);
    }
}

void LiveDenoiser::ProcessEngineBlock(bool process) {
    GatheredBlock block;
    RunBlockContract(engine_, block, process);
    position_ = 0;
}

}  // namespace murmex
