#include "engine/adaptive_denoiser.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "engine/spectral_engine.h"
#include "engine/vector_clones.h"

namespace murmex {

namespace {

// Presence model: the a-priori SNR assumed when speech is present (15 dB), equal priors.
constexpr float kPresentSnr = 31.622777f;
constexpr float kPresenceScale = 1.0f + kPresentSnr;
// exp(-r * xi / (1 + xi)) computed as 2^(-r * this).
constexpr float kPresenceExponent = kPresentSnr / (1.0f + kPresentSnr) * 1.4426950f;
// A bin whose smoothed presence stays above this is suspected of stagnating ...
constexpr float kStagnationPresence = 0.99f;
// ... and, when its power fluctuates like noise (squared coefficient of variation above 0.5;
// noise gives about 1, a tone well above the noise under 0.1), its presence is capped here so
// that the estimate climbs towards a noise that has grown.
constexpr float kNoiseLikeSquareMean = 1.5f;
constexpr float kStagnationCap = 0.9f;
// The minimum of a smoothed noise power lies this far below its mean.
constexpr float kMinimumBias = 1.8f;
constexpr float kSmallestPower = 1e-10f;
constexpr float kLowestPrioriSnr = 0.0031622777f;  // -25 dB

constexpr double kNoiseTimeConstant = 0.072;     // seconds
constexpr double kPresenceTimeConstant = 0.15;
constexpr double kStatsTimeConstant = 0.15;
constexpr double kDecisionTimeConstant = 0.4;
constexpr double kGainNoiseTimeConstant = 0.3;
constexpr double kWarmUpSeconds = 0.5;
constexpr double kWarmUpStartSeconds = 0.1;

constexpr float kDefaultFloorDb = -10.5f;
constexpr float kFloorDbPerNeper = -1.4f;  // per 100 steps of the slider, whose factor is e^(q/100)
constexpr float kDefaultReductionExponent = kReductionInitialPosition / 100.0f;

// 2^x for x <= 0, to about 1e-4 relative: the integer part goes straight into the exponent
// bits, the fraction through a polynomial. Plain arithmetic, so the loops vectorise. x is held
// within [-126, 0] first, NaN included, so that the conversion to an integer and the exponent
// arithmetic stay defined for any value: a tracker that has not started yet (the run began with
// "Stop noise estimation" on) holds 0, and a silent bin's ratio to it is 0 / 0.
inline float FastExp2(float x) {
    const float low = x > -126.0f ? x : -126.0f;
    const float clamped = std::min(low, 0.0f);
    const auto whole = static_cast<int32_t>(clamped);  // towards zero, so the fraction is in (-1, 0]
    const float f = clamped - static_cast<float>(whole);
    const float p = 1.0f + f * (0.6931472f + f * (0.2402265f + f * (0.0555041f + f * 0.0096181f)));
    return std::bit_cast<float>(std::bit_cast<int32_t>(p) + whole * (1 << 23));
}

double Smoothing(double hopSeconds, double timeConstant) { return std::exp(-hopSeconds / timeConstant); }

}  // namespace

AdaptiveDenoiser::AdaptiveDenoiser() {
    for (size_t i = 0; i < lsaFactor_.size(); ++i) {
        const int octave = kLsaLowestOctave + static_cast<int>(i) / kLsaStepsPerOctave;
        const double mantissa = 1.0 + static_cast<double>(i % kLsaStepsPerOctave) / kLsaStepsPerOctave;
        const double v = std::ldexp(mantissa, octave);
        // E1(v) = -Ei(-v)
        lsaFactor_[i] = static_cast<float>(std::exp(-0.5 * std::expint(-v)));
    }
    Configure(1, bins_, 512.0 / kDefaultSampleRate);
    Reset(false);
}

float AdaptiveDenoiser::GainFloorFor(float reductionFactor) {
    const float exponent = std::log(std::max(reductionFactor, 1.0f));
    const float db = kDefaultFloorDb + kFloorDbPerNeper * (exponent - kDefaultReductionExponent);
    return std::min(1.0f, std::pow(10.0f, db / 20.0f));
}

void AdaptiveDenoiser::Configure(int channels, int bins, double hop) {
    channels_ = std::clamp(channels, 1, kMaxChannels);
    bins_ = std::clamp(bins, 3, kMaxBins);
    // The detail amplifier starts at the frequency it starts at in the classic frame.
    detailFrom_ = (SpectralEngine::kDetailAboveBin + 1) * (bins_ - 1) / (SpectralEngine::kBins - 1);
    constants_.noiseSmoothing = static_cast<float>(Smoothing(hop, kNoiseTimeConstant));
    constants_.presenceSmoothing = static_cast<float>(Smoothing(hop, kPresenceTimeConstant));
    constants_.statsSmoothing = static_cast<float>(Smoothing(hop, kStatsTimeConstant));
    constants_.decisionDirected = static_cast<float>(Smoothing(hop, kDecisionTimeConstant));
    constants_.gainNoiseSmoothing = static_cast<float>(Smoothing(hop, kGainNoiseTimeConstant));
    constants_.warmUpFrames = static_cast<int>(std::ceil(kWarmUpSeconds / hop));
    constants_.warmUpStart = static_cast<int>(std::ceil(kWarmUpStartSeconds / hop));
}

void AdaptiveDenoiser::Reset(bool keepNoise) {
    previousClean_.fill(0.0f);
    gain_.fill(1.0f);
    captured_.fill(0.0f);
    captureActive_ = false;
    // Nothing learnt yet means nothing to keep: the tracker starts afresh.
    if (keepNoise && framesSinceReset_[0] > 0) {
        framesSinceReset_.fill(constants_.warmUpFrames);
        return;
    }
    framesSinceReset_.fill(0);
    noise_.fill(0.0f);
    gainNoise_.fill(0.0f);
    smoothedPower_.fill(0.0f);
    smoothedSquare_.fill(0.0f);
    presence_.fill(0.0f);
    warmMinimum_.fill(0.0f);
}

int AdaptiveDenoiser::WarmUpFramesLeft() const {
    return std::max(0, constants_.warmUpFrames - framesSinceReset_[0]);
}

AdaptiveDenoiser::FrameSettings AdaptiveDenoiser::BeginBlock(const ProcessingOptions& options, bool learning) {
    FrameSettings s;
    s.bias = options.BiasFactor.load(std::memory_order_relaxed);
    s.binFloor = std::pow(GainFloorFor(options.ReductionFactor.load(std::memory_order_relaxed)), kBinFloorExponent);
    s.track = learning || !options.StopNoiseEstimation.load(std::memory_order_relaxed);
    s.detail = options.DetailAmplifier.load(std::memory_order_relaxed);
    // As in the classic method: switching "Capture minima" on holds the current estimate as a
    // lower bound for the noise; switching it off drops the bound.
    const bool capture = options.CaptureMinima.load(std::memory_order_relaxed);
    if (capture && !captureActive_) captured_ = noise_;
    if (!capture && captureActive_) captured_.fill(0.0f);
    captureActive_ = capture;
    return s;
}

float AdaptiveDenoiser::LsaFactor(float v) const {
    // The grid's points sit at the floats whose low 19 mantissa bits are zero, so the bits of v
    // less those of the lowest point give the index above and the fraction between points.
    constexpr int kMantissaBits = 23;
    constexpr int kIndexShift = kMantissaBits - 4;  // 16 steps per octave: the top 4 mantissa bits
    constexpr int32_t kLowestBits = (127 + kLsaLowestOctave) << kMantissaBits;
    constexpr float kLowestV = 1.0f / (1 << -kLsaLowestOctave);
    constexpr float kHighestV = static_cast<float>(1 << (kLsaLowestOctave + kLsaOctaves)) * 0.99999f;
    constexpr float kFractionScale = 1.0f / (1 << kIndexShift);
    // Written so that even a NaN lands inside the table.
    const float held = std::min(v > kLowestV ? v : kLowestV, kHighestV);
    const int32_t offset = std::bit_cast<int32_t>(held) - kLowestBits;
    const int32_t index = offset >> kIndexShift;
    const float fraction = static_cast<float>(offset & ((1 << kIndexShift) - 1)) * kFractionScale;
    return lsaFactor_[index] + fraction * (lsaFactor_[index + 1] - lsaFactor_[index]);
}

// The first frame of a run starts every average; the tracker's statistics assume noise.
void AdaptiveDenoiser::StartTracking(int channel, const float* power) {
    const int base = channel * kBinStride;
    for (int k = 0; k < bins_; ++k) {
        const float p = std::max(power[k], kSmallestPower);
        smoothedPower_[base + k] = p;
        smoothedSquare_[base + k] = 2.0f * p * p;  // as for noise: variance equal to the mean squared
        noise_[base + k] = p;
        gainNoise_[base + k] = p;
        warmMinimum_[base + k] = kMinimumSearchStart;
    }
}

MURMEX_VECTOR_CLONES void AdaptiveDenoiser::TrackNoise(int channel, const float* __restrict power, int framesSoFar) {
    const int base = channel * kBinStride;
    const int bins = bins_;
    float* __restrict noise = noise_.data() + base;
    float* __restrict gainNoise = gainNoise_.data() + base;
    float* __restrict s1 = smoothedPower_.data() + base;
    float* __restrict s2 = smoothedSquare_.data() + base;
    float* __restrict presence = presence_.data() + base;
    float* __restrict warmMinimum = warmMinimum_.data() + base;
    const float aN = constants_.noiseSmoothing;
    const float aP = constants_.presenceSmoothing;
    const bool warm = framesSoFar < constants_.warmUpFrames;
    // While warming up the averages are plain means of the frames so far, so that none of them
    // leans on the first frame, and the gain follows the estimate without delay.
    const float frames = static_cast<float>(framesSoFar);
    const float aS = warm ? std::min(constants_.statsSmoothing, frames / (frames + 1.0f)) : constants_.statsSmoothing;
    const float aG = warm ? 0.0f : constants_.gainNoiseSmoothing;
    const float useWarm = warm ? 1.0f : 0.0f;
    // Outside the search the minimum neither moves nor bounds the estimate: adding infinity
    // does that without a branch in the loop, which would keep it from vectorising.
    const float outsideSearch = warm && framesSoFar >= constants_.warmUpStart
                                    ? 0.0f
                                    : std::numeric_limits<float>::infinity();
    for (int k = 0; k < bins; ++k) {
        const float y2 = power[k];
        const float mean = aS * s1[k] + (1.0f - aS) * y2;
        const float square = aS * s2[k] + (1.0f - aS) * y2 * y2;
        s1[k] = mean;
        s2[k] = square;

        const float lambda = noise[k];
        const float ratio = y2 / lambda;
        float p = 1.0f / (1.0f + kPresenceScale * FastExp2(-kPresenceExponent * ratio));
        const float smoothedPresence = aP * presence[k] + (1.0f - aP) * p;
        presence[k] = smoothedPresence;
        const bool stagnant = smoothedPresence > kStagnationPresence && square > kNoiseLikeSquareMean * mean * mean;
        p = stagnant ? std::min(p, kStagnationCap) : p;
        const float expected = (1.0f - p) * y2 + p * lambda;
        const float tracked = aN * lambda + (1.0f - aN) * expected;

        // The warm-up estimate is the mean power, held below the bias-compensated minimum of
        // the mean once the search has begun, so that speech at the start is not learnt.
        const float minimum = std::min(warmMinimum[k], mean + outsideSearch);
        warmMinimum[k] = minimum;
        const float warmEstimate = std::min(mean, kMinimumBias * minimum);
        const float updated = std::max(useWarm * warmEstimate + (1.0f - useWarm) * tracked, kSmallestPower);
        noise[k] = updated;
    }
    for (int k = 0; k < bins; ++k) gainNoise[k] = aG * gainNoise[k] + (1.0f - aG) * noise[k];
}

MURMEX_VECTOR_CLONES void AdaptiveDenoiser::ComputeGains(int channel, const float* __restrict power,
                                                          float* __restrict biasedNoise, const FrameSettings& s,
                                                          Scratch& scratch) {
    const int base = channel * kBinStride;
    const int bins = bins_;
    const float* __restrict noise = gainNoise_.data() + base;
    const float* __restrict captured = captured_.data() + base;
    float* __restrict previousClean = previousClean_.data() + base;
    float* __restrict gain = gain_.data() + base;
    const float dd = constants_.decisionDirected;
    const float bias = s.bias;
    const float floor = s.binFloor;
    float* __restrict wiener = scratch.wiener.data();
    float* __restrict lsa = scratch.lsa.data();
    for (int k = 0; k < bins; ++k) {
        const float lambda = std::max(std::max(noise[k], captured[k]) * bias, kSmallestPower);
        biasedNoise[k] = lambda;
        const float gamma = power[k] / lambda;
        const float xi = std::max(dd * previousClean[k] / lambda + (1.0f - dd) * std::max(gamma - 1.0f, 0.0f),
                                  kLowestPrioriSnr);
        wiener[k] = xi / (1.0f + xi);
        lsa[k] = wiener[k] * gamma;
    }
    // Table look-ups would keep the other loops from vectorising, so they run on their own.
    for (int k = 0; k < bins; ++k) lsa[k] = LsaFactor(lsa[k]);
    for (int k = 0; k < bins; ++k) {
        const float y2 = power[k];
        const float gamma = y2 / biasedNoise[k];
        // Weighted by the probability that the bin holds more than noise, so that a noise bin
        // that happens to peak stays near the floor instead of ringing out as musical noise.
        const float presence = 1.0f / (1.0f + kPresenceScale * FastExp2(-kPresenceExponent * gamma));
        const float bounded = std::clamp(wiener[k] * lsa[k], floor, 1.0f);
        const float g = floor + presence * (bounded - floor);
        gain[k] = g;
        previousClean[k] = g * g * y2;
    }
    // The first and last bins are real, so their power scatters twice as widely as a complex
    // bin's: the presence model would read noise there as speech (brown noise, whose power
    // gathers near 0 Hz, came out 4 dB above the floor). They take their neighbours' gains.
    for (const auto& [edge, neighbour] : {std::pair{0, 1}, std::pair{bins - 1, bins - 2}}) {
        gain[edge] = gain[neighbour];
        previousClean[edge] = gain[edge] * gain[edge] * power[edge];
    }
    if (!s.detail) return;
    for (int k = detailFrom_; k < bins; ++k) {
        gain[k] *= gain[k] > SpectralEngine::kDetailGainThreshold ? SpectralEngine::kDetailFactor : 1.0f;
    }
}

void AdaptiveDenoiser::ProcessChannel(int channel, Scratch& scratch, float* spectrum, float* power, float* biasedNoise,
                                      const FrameSettings& settings) {
    const int bins = bins_;
    for (int k = 0; k < bins; ++k) power[k] = spectrum[2 * k] * spectrum[2 * k] + spectrum[2 * k + 1] * spectrum[2 * k + 1];
    int& frames = framesSinceReset_[channel];
    if (frames == 0 && settings.track) {
        StartTracking(channel, power);
    } else if (settings.track) {
        TrackNoise(channel, power, frames);
    }
    ComputeGains(channel, power, biasedNoise, settings, scratch);
    frames = std::min(frames + 1, constants_.warmUpFrames);
    const float* gain = gain_.data() + channel * kBinStride;
    for (int k = 0; k < bins; ++k) {
        spectrum[2 * k] *= gain[k];
        spectrum[2 * k + 1] *= gain[k];
    }
}

}  // namespace murmex
