#include "plugin/live_denoiser.h"

#include <algorithm>

#include "engine/block_contract.h"
#include "engine/sample_conversion.h"
#include "engine/vector_clones.h"
#include "plugin/fft_planning.h"

namespace murmex {

namespace {

// Full scale of a float sample in 16-bit units, both ways: the decoder's scale, so that a file
// and the same audio from a host meet the engine as the same samples.
constexpr double kFullScale = 32768.0;
constexpr float kInverseFullScale = 1.0f / 32768.0f;

// The host's channels into the interleaved block, and back. Both channels of a frame are
// handled together so that the block is read and written whole; the loops take wider vectors
// where the processor has them, where the rounding also inlines, and every variant converts
// alike.
MURMEX_VECTOR_CLONES void Gather(const float* __restrict left, const float* __restrict right, int16_t* __restrict block,
                                 int n) {
    if (right == nullptr) {
        for (int i = 0; i < n; ++i) block[i] = RoundToSample(left[i] * kFullScale);
        return;
    }
    for (int i = 0; i < n; ++i) {
        block[2 * i] = RoundToSample(left[i] * kFullScale);
        block[2 * i + 1] = RoundToSample(right[i] * kFullScale);
    }
}

MURMEX_VECTOR_CLONES void Spread(const int16_t* __restrict block, float* __restrict left, float* __restrict right, int n) {
    if (right == nullptr) {
        for (int i = 0; i < n; ++i) left[i] = block[i] * kInverseFullScale;
        return;
    }
    for (int i = 0; i < n; ++i) {
        left[i] = block[2 * i] * kInverseFullScale;
        right[i] = block[2 * i + 1] * kInverseFullScale;
    }
}

// The host's samples are written straight into the engine's input block, so reading a block
// finds it already full.
class GatheredBlock : public BlockSource {
public:
    int ReadBlock(void*, int maxBytes) override { return maxBytes; }
};

}  // namespace

LiveDenoiser::LiveDenoiser(int channels, double sampleRate) : engine_(options_) {
    // As the Method port's default, so that the latency reported before the first run holds.
    options_.Method = kDefaultMethod;
    // A rate that is no number or out of all proportion leaves the engine's default rate.
    engine_.LoadFor(channels, sampleRate >= 1.0 && sampleRate <= 1e7 ? static_cast<int>(sampleRate + 0.5) : 0);
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
        const bool stereo = channels == 2;
        Gather(in[0] + done, stereo ? in[1] + done : nullptr, gathered, n);
        Spread(processed, out[0] + done, stereo ? out[1] + done : nullptr, n);
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
