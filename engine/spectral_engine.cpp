#include "engine/spectral_engine.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>

#include "engine/sample_conversion.h"
#include "engine/vector_clones.h"

namespace murmex {

namespace {

constexpr float kMinimumSearchStart = 9e32f;
constexpr float kTrackerFloor = 1.0f;
constexpr float kLowLevelThreshold = 10.0f;
constexpr float kLowLevelStep = 0.01f;
constexpr float kStepCap = 0.1f;
constexpr float kNoiseFloor = 1e-20f;
constexpr float kPreviousRatioWeight = 0.99f;
constexpr float kCurrentRatioWeight = 0.01f;
constexpr int kInverseShift = 11;  // the inverse transform is 2048 = 2^11 times too large
// Below this magnitude a float truncates exactly through a 32-bit integer.
constexpr float kInt32Range = 2147483648.0f;

// Wiener-type gain xi / (1 + xi). An overflowed xi means the bin stands infinitely far above
// the noise, so it passes whole instead of becoming inf / inf = NaN.
float WienerGain(float xi) {
    const float gain = xi / (1.0f + xi);
    const float positive = gain > 0.0f ? gain : 0.0f;
    return xi == std::numeric_limits<float>::infinity() ? 1.0f : positive;
}

// Frame values are limited to +-2^30. Beyond that a sample saturates whatever the window and the
// accumulator hold (every window entry of a frame exceeds 7e-4, so the product exceeds 7e5), and
// within it every overlap-add sum fits 32 bits.
constexpr int64_t kFrameLimit = int64_t{1} << 30;

// Overlap-add of one channel's frame: trunc(t * window + accumulated), limited to 16 bits.
// Truncating before limiting gives the same sample as the other way round, because the limits
// are whole numbers. The accumulator holds its 16-bit samples in 32-bit entries, so that the
// loop runs in full-width vector registers without 16-bit lanes.
[[gnu::always_inline]] inline void OverlapAddFrame(const int32_t* __restrict frame, const double* __restrict window,
                                                   int32_t* __restrict accumulator, int length) {
    for (int i = 0; i < length; ++i) {
        const auto sum = static_cast<int32_t>(frame[i] * window[i] + accumulator[i]);
        accumulator[i] = std::clamp(sum, int32_t{INT16_MIN}, int32_t{INT16_MAX});
    }
}

// The accumulator's samples back in 16 bits; the overlap-add keeps them within that range.
[[gnu::always_inline]] inline void NarrowSamples(const int32_t* __restrict accumulator, int16_t* __restrict output,
                                                 int count) {
    for (int i = 0; i < count; ++i) output[i] = static_cast<int16_t>(accumulator[i]);
}

// Stores the value of odd bin k and gives the even bin above it back its own value. Writing
// whole pairs lets a loop over the odd bins store full vectors instead of every other lane.
template <typename Bins>
void StoreOddBin(Bins&& bins, int k, float value) {
    const float even = bins[k + 1];
    bins[k] = value;
    bins[k + 1] = even;
}

// Smooths the power of each odd bin k over its neighbours and in time (`smoothed` holds the odd
// bins packed), keeping the smoothed powers before and after in the padded arrays of the
// neighbourhood minimum. Restrict-qualified parameters let the loop run in vector registers.
inline void SmoothOddBins(const float* __restrict packedPower, const float* __restrict power, float w0, float w1,
                          float w2, float* __restrict smoothed, float* __restrict before, float* __restrict after) {
    for (int m = 0; m < SpectralEngine::kBins / 2; ++m) {
        const int k = 2 * m + 1;
        const float v = w0 * packedPower[m] + w1 * power[k] + w2 * power[k + 1];
        const float previous = smoothed[m];
        before[m] = previous;
        const float updated = 0.5f * v + 0.5f * previous;
        after[m] = updated;
        smoothed[m] = updated;
    }
}

// Wiener-type gains of the odd bins from their packed powers and noise estimates; the biased
// noise goes to its full layout, the other arrays hold the odd bins packed. Restrict-qualified
// parameters let the loop run in vector registers.
inline void GainsOfOddBins(const float* __restrict packedPower, const float* __restrict estimates,
                           float* __restrict biasedNoise, float* __restrict binRatio,
                           float* __restrict previousRatio, float* __restrict binGain, float bias, float reduction) {
    for (int m = 0; m < SpectralEngine::kBins / 2; ++m) {
        const int k = 2 * m + 1;
        const float estimate = estimates[m];
        const float scaled = estimate * bias;
        const float biased = scaled > 0.0f ? scaled : kNoiseFloor;
        StoreOddBin(biasedNoise, k, biased);

        // Both sides are computed and one is picked, which keeps the loop free of branches.
        const float power = packedPower[m];
        const float d = std::sqrt(std::fabs(power - estimate));
        const float e = std::sqrt(reduction / d);
        const float above = power / (biased * e);
        const float ratio = std::fabs(power) > std::fabs(biased) ? above : 1.0f;
        binRatio[m] = ratio;

        const float gain = binGain[m];
        const float xi = kPreviousRatioWeight * gain * gain * previousRatio[m] + kCurrentRatioWeight * ratio;
        previousRatio[m] = ratio;
        binGain[m] = WienerGain(xi);
    }
}

// Analysis of one channel: the windowed samples go to the FFT input, or, truncated, to the
// frame that the overlap-add takes when the spectral stage is skipped (|windowed| <= 32768).
template <typename Sample>
void WindowFrame(const int16_t* __restrict history, const float* __restrict window, Sample* __restrict out,
                 int length) {
    for (int i = 0; i < length; ++i) out[i] = static_cast<Sample>(history[i] * window[i]);
}

}  // namespace

SpectralEngine::SpectralEngine(ProcessingOptions& options) : options_(options) {
    for (LaneScratch& lane : lanes_) {
        lane.oddSmoothed.fill(kMinimumSearchStart);
        lane.oddPreviousSmoothed.fill(kMinimumSearchStart);
    }
}

void SpectralEngine::SetChannelThreads(int threads) {
    if (threads > 1 && !channelWorker_) {
        channelWorker_ = std::make_unique<ChannelWorker>();
    } else if (threads <= 1) {
        channelWorker_.reset();
    }
}

void SpectralEngine::SetChannels(int channels) {
    if (channels < 1 || channels > kMaxChannels) {
        throw std::invalid_argument("the engine handles 1 or 2 channels");
    }
    channels_ = channels;
    frameLength_ = kFftSize / channels;
    ConfigureAdaptive();
}

void SpectralEngine::SetSampleRate(int sampleRate) {
    sampleRate_ = sampleRate > 0 ? sampleRate : AdaptiveDenoiser::kDefaultSampleRate;
    ConfigureAdaptive();
}

void SpectralEngine::ConfigureAdaptive() {
    const int channels = channels_ > 0 ? channels_ : 1;
    framing_.Configure(sampleRate_, kBlockSamples / channels);
    adaptive_.Configure(channels, framing_.Bins(), static_cast<double>(framing_.Hop()) / sampleRate_);
}

int SpectralEngine::LatencyBlocks() const {
    return options_.Method.load(std::memory_order_relaxed) == NoiseReductionMethod::Adaptive ? framing_.LatencyBlocks()
                                                                                               : kLatencyBlocks;
}

void SpectralEngine::ResetPreviousMinimum() {
    for (int c = 0; c < channels_; ++c) previousMinimum_.FillSlot(c, kBins - 1, 1.0f);
}

void SpectralEngine::BuildAnalysisWindow() {
    analysisWindow_.fill(0.0f);
    for (int k = 0; k < frameLength_; ++k) {
        analysisWindow_[k] = static_cast<float>(
            std::sin(std::numbers::pi_v<long double> * (k + 0.5L) / frameLength_));
    }
    for (int k = 0; k < kFftSize; ++k) overlapWindow_[k] = analysisWindow_[k];
}

void SpectralEngine::BuildSmoothingKernel() {
    smoothingKernel_.fill(0.0f);
    for (int j = 1; j <= 3; ++j) {
        smoothingKernel_[j - 1] = static_cast<float>(
            0.5L * (1.0L - std::cos(2.0L * std::numbers::pi_v<long double> * j / 3.0L)));
    }
}

void SpectralEngine::PrepareEngine() { PrepareRun(options_.StopNoiseEstimation.load()); }

void SpectralEngine::PrepareEngineKeepingNoise() { PrepareRun(true); }

void SpectralEngine::PrepareRun(bool keepEstimate) {
    learning_ = false;
    adaptive_.Reset(keepEstimate);
    dcFilter_.Reset();
    dcPowerAverage_ = 0.0f;
    bin1PowerAverage_ = 100.0f;
    if (!keepEstimate) {
        noiseEstimate_.Fill(0.0f);
        biasedNoise_.fill(0.0f);
    }
    binRatio_.Fill(0.0f);
    smoothedPower_.Fill(0.0f);
    binPower_.fill(0.0f);
    binGain_.Fill(0.0f);
    for (int c = 0; c < channels_; ++c) {
        const int count = kBins - 1;  // bins 0..1023; the Nyquist bin keeps its value
        binGain_.FillSlot(c, count, 1.0f);
        previousRatio_.FillSlot(c, count, 1.0f);
        adaptStep_.FillSlot(c, count, 1e-20f);
        if (!keepEstimate) {
            localMinimum_.FillSlot(c, count, 1.0f);
            noiseTracker_.FillSlot(c, count, 1.0f);
            previousMinimum_.FillSlot(c, count, 1.1f);
        }
    }
    outputBlock_.fill(0);
    inputBlock_.fill(0);
    for (ChannelFrames& frames : channelFrames_) {
        frames.history.fill(0);
        frames.accumulator.fill(0);
    }
    framing_.Reset();
    if (!engineReady_ || !framing_.HasPlans()) {
        fft_.CreatePlans();
        framing_.CreatePlans();
        engineReady_ = true;
    }
}

void SpectralEngine::ReleasePlans() {
    fft_.ReleasePlans();
    framing_.ReleasePlans();
    engineReady_ = false;
}

MURMEX_VECTOR_CLONES void SpectralEngine::ShiftChannel(int channel, const int16_t* block) {
    ChannelFrames& frames = channelFrames_[channel];
    const int half = frameLength_ / 2;  // one block of one channel
    std::copy_n(frames.accumulator.begin() + half, half, frames.accumulator.begin());
    std::fill_n(frames.accumulator.begin() + half, half, 0);
    std::copy_n(frames.history.begin() + half, half, frames.history.begin());
    int16_t* __restrict newest = frames.history.data() + half;
    if (channels_ == 2) {
        for (int i = 0; i < kBlockSamples / 2; ++i) newest[i] = block[2 * i + channel];
    } else {
        std::copy_n(block, kBlockSamples, newest);
    }
}

void SpectralEngine::ShiftHistory() {
    for (int c = 0; c < channels_; ++c) ShiftChannel(c, inputBlock_.data());
}

MURMEX_VECTOR_CLONES void SpectralEngine::AnalyseChannel(int channel, int lane, bool spectral) {
    const int16_t* history = channelFrames_[channel].history.data();
    if (spectral) {
        WindowFrame(history, analysisWindow_.data(), fft_.FftInput(lane), frameLength_);
    } else {
        WindowFrame(history, analysisWindow_.data(), frames_.data() + channel * frameLength_, frameLength_);
    }
}

MURMEX_VECTOR_CLONES void SpectralEngine::UpdateTrackers(int channel, bool useCapture) {
    // Distinct arrays, promised to the compiler so that the loop runs in vector registers.
    const float* __restrict localMinimum = localMinimum_.Odd(channel);
    float* __restrict previousMinimum = previousMinimum_.Odd(channel);
    float* __restrict noiseTracker = noiseTracker_.Odd(channel);
    float* __restrict adaptStep = adaptStep_.Odd(channel);
    const float* __restrict capturedNoise = capturedNoise_.Odd(channel);
    float* __restrict noiseEstimate = noiseEstimate_.Odd(channel);
    for (int m = 0; m < kOddBins; ++m) {
        const float minimum = localMinimum[m];
        const float previous = previousMinimum[m];
        // Every frame holds the tracker at its floor first; this pass does it for a frame that
        // tracks, to save a pass over the trackers.
        const float tracker = std::max(noiseTracker[m], kTrackerFloor);
        const float currentStep = adaptStep[m];
        const float step = previous < kLowLevelThreshold ? kLowLevelStep : currentStep;
        // Minimum rising or steady: climb towards the previous minimum by the current step,
        // then spend the step. Falling: grow the step with the drop and follow the minimum
        // down at once. Both are computed and one is picked, so the loop has no branches.
        const float risen = tracker + step * std::max(previous - tracker, 0.0f);
        const float fallStep = std::min(std::sqrt(1.0f / (previous - minimum)) + step, kStepCap);
        const float fallen = tracker + std::min(minimum - tracker, 0.0f);
        const bool rising = minimum >= previous;
        const float tracked = rising ? risen : fallen;
        noiseTracker[m] = tracked;
        adaptStep[m] = rising ? 0.0f : fallStep;
        previousMinimum[m] = minimum;
        const float withCapture = std::max(capturedNoise[m], tracked);
        noiseEstimate[m] = useCapture ? withCapture : tracked;
    }
}

MURMEX_VECTOR_CLONES void SpectralEngine::TrackNoise(int channel, int lane, bool useCapture) {
    LaneScratch& scratch = lanes_[lane];
    const int base = channel * kChannelStride;
    // Distinct arrays, promised to the compiler so that the loop runs in vector registers.
    float* __restrict smoothed = smoothedPower_.Odd(channel);
    const float* __restrict power = binPower_.data() + base;
    float* __restrict packedPower = scratch.power.data();
    float* __restrict before = scratch.oddPreviousSmoothed.data() + kMinimumPad;
    float* __restrict after = scratch.oddSmoothed.data() + kMinimumPad;
    const float w0 = smoothingKernel_[0];
    const float w1 = smoothingKernel_[1];
    const float w2 = smoothingKernel_[2];
    // The bin before bin 1 counts with power 0; the kernel runs over bins k - 2, k, k + 1.
    packedPower[0] = 0.0f;
    for (int m = 0; m < kOddBins; ++m) packedPower[m + 1] = power[2 * m + 1];
    SmoothOddBins(packedPower, power, w0, w1, w2, smoothed, before, after);
    if (!learning_ && options_.StopNoiseEstimation.load(std::memory_order_relaxed)) {
        float* tracker = noiseTracker_.Odd(channel);
        for (int m = 0; m < kOddBins; ++m) tracker[m] = std::max(tracker[m], kTrackerFloor);
        return;
    }

    // Minimum over the odd bins k-8..k+8: those up to k already hold this frame's smoothed
    // power, those above k still the previous frame's. The pads hold the search's start value.
    float* localMinimum = localMinimum_.Odd(channel);
    for (int m = 0; m < kOddBins; ++m) {
        float minimum = kMinimumSearchStart;
        for (int j = 0; j <= kMinimumPad; ++j) minimum = std::min(minimum, scratch.oddSmoothed[m + j]);
        for (int j = kMinimumPad + 1; j <= 2 * kMinimumPad; ++j) {
            minimum = std::min(minimum, scratch.oddPreviousSmoothed[m + j]);
        }
        localMinimum[m] = minimum;
    }
    UpdateTrackers(channel, useCapture);
}

MURMEX_VECTOR_CLONES void SpectralEngine::ComputeGains(int channel, int lane) {
    const int base = channel * kChannelStride;
    // The odd bins' powers come from the packed copy that the smoothing made: contiguous, half
    // the memory of BinPower's pairs and no shuffle to pick them out.
    GainsOfOddBins(lanes_[lane].power.data() + 1, noiseEstimate_.Odd(channel), biasedNoise_.data() + base,
                   binRatio_.Odd(channel), previousRatio_.Odd(channel), binGain_.Odd(channel),
                   options_.BiasFactor.load(std::memory_order_relaxed),
                   options_.ReductionFactor.load(std::memory_order_relaxed));
}

MURMEX_VECTOR_CLONES void SpectralEngine::BuildSynthesisGains(int channel, int lane) {
    const float* gain = binGain_.Odd(channel);  // gain[m] is bin 2m + 1's
    float* __restrict synthesis = lanes_[lane].synthesisGain.data();
    // Odd bins from this one on are boosted (bin 1 lies below the range).
    const int firstBoosted = options_.DetailAmplifier.load(std::memory_order_relaxed) ? (kDetailAboveBin + 1) / 2
                                                                                       : kOddBins;
    synthesis[0] = 1.0f;
    synthesis[1] = std::fabs(gain[0]);
    synthesis[2] = synthesis[1];
    for (int m = 1; m < firstBoosted; ++m) {
        synthesis[2 * m + 1] = std::fabs(gain[m]);
        synthesis[2 * m + 2] = std::fabs(gain[m] + gain[m - 1]) * 0.5f;
    }
    // A boosted odd bin raises the even bin above it by the same factor.
    for (int m = firstBoosted; m < kOddBins; ++m) {
        const float odd = std::fabs(gain[m]);
        const float factor = odd > kDetailGainThreshold ? kDetailFactor : 1.0f;
        synthesis[2 * m + 1] = odd * factor;
        synthesis[2 * m + 2] = std::fabs(gain[m] + gain[m - 1]) * 0.5f * factor;
    }
}

MURMEX_VECTOR_CLONES void SpectralEngine::ScaleInverse(int channel, int lane) {
    const float* output = fft_.FftOutput(lane);
    const int length = frameLength_;  // a local copy, as the frame is written through an int pointer
    int32_t* frame = frames_.data() + channel * length;
    // Almost every frame stays within 32 bits, where truncation and the arithmetic shift run
    // in vector registers; a frame with a huge, infinite or NaN value redoes the whole frame
    // through the saturating 64-bit conversion.
    int outOfRange = 0;
    for (int i = 0; i < length; ++i) {
        const bool small = std::fabs(output[i]) < kInt32Range;
        outOfRange += small ? 0 : 1;
        frame[i] = static_cast<int32_t>(small ? output[i] : 0.0f) >> kInverseShift;
    }
    if (outOfRange == 0) return;
    for (int i = 0; i < length; ++i) {
        const int64_t t = TruncToInt64(output[i]) >> kInverseShift;
        frame[i] = static_cast<int32_t>(std::clamp(t, -kFrameLimit, kFrameLimit));
    }
}

MURMEX_VECTOR_CLONES void SpectralEngine::SpectralStage(int channel, int lane, bool useCapture) {
    fft_.ExecuteForward(lane);
    float* spectrum = fft_.FftSpectrum(lane);
    float* power = binPower_.data() + channel * kChannelStride;
    for (int b = 0; b < kBins; ++b) {
        const float re = spectrum[2 * b];
        const float im = spectrum[2 * b + 1];
        power[b] = re * re + im * im;
    }
    // The three passes below keep the per-bin order of the rules: the noise estimate of a bin
    // depends on its neighbours, but its gain only on the bin itself and, for the even bin
    // above it, on the gain two bins below. Splitting them lets the gain arithmetic of many
    // bins overlap.
    TrackNoise(channel, lane, useCapture);
    ComputeGains(channel, lane);
    BuildSynthesisGains(channel, lane);

    // The Nyquist bin passes unchanged.
    const float* synthesisGain = lanes_[lane].synthesisGain.data();
    for (int b = 0; b < kBins - 1; ++b) {
        spectrum[2 * b] *= synthesisGain[b];
        spectrum[2 * b + 1] *= synthesisGain[b];
    }
    fft_.ExecuteInverse(lane);
    ScaleInverse(channel, lane);
}

MURMEX_VECTOR_CLONES void SpectralEngine::OverlapAddChannel(int channel) {
    OverlapAddFrame(frames_.data() + channel * frameLength_, overlapWindow_.data(),
                    channelFrames_[channel].accumulator.data(), frameLength_);
}

MURMEX_VECTOR_CLONES void SpectralEngine::TakeOutputBlock(int16_t* output) const {
    if (channels_ == 2) {
        const int32_t* __restrict left = channelFrames_[0].accumulator.data();
        const int32_t* __restrict right = channelFrames_[1].accumulator.data();
        for (int i = 0; i < kBlockSamples / 2; ++i) {
            output[2 * i] = static_cast<int16_t>(left[i]);
            output[2 * i + 1] = static_cast<int16_t>(right[i]);
        }
    } else {
        NarrowSamples(channelFrames_[0].accumulator.data(), output, kBlockSamples);
    }
}

void SpectralEngine::TakeFramedOutput(int16_t* output) const {
    if (channels_ == 2) {
        for (int i = 0; i < kBlockSamples / 2; ++i) {
            output[2 * i] = framedOutput_[0][i];
            output[2 * i + 1] = framedOutput_[1][i];
        }
    } else {
        std::copy_n(framedOutput_[0].begin(), kBlockSamples, output);
    }
}

void SpectralEngine::UpdateCapture() {
    const bool captureMinima = options_.CaptureMinima.load();
    for (int c = 0; c < kChannelSlots; ++c) UpdateChannelCapture(c, captureActive_, captureMinima);
    captureActive_ = captureMinima;
}

void SpectralEngine::UpdateChannelCapture(int channel, bool wasActive, bool captureMinima) {
    if (!wasActive && captureMinima) {
        capturedNoise_.CopySlot(noiseTracker_, channel);
    } else if (wasActive && !captureMinima) {
        capturedNoise_.FillSlot(channel, kChannelStride, 0.0f);
    }
}

void SpectralEngine::RunChannel(int channel, int lane, bool useCapture) {
    AdaptiveFrameJob job;
    if (blockPlan_.adaptive) {
        const int stride = channel * kChannelStride;
        job = {&adaptive_, blockPlan_.settings, &lanes_[lane].adaptive, binPower_.data() + stride,
               biasedNoise_.data() + stride, kBins, static_cast<float>(frameLength_) / framing_.FrameSize()};
    }
    framing_.RunChannel(channel, lane, channelFrames_[channel].history.data() + frameLength_ / 2,
                        framedOutput_[channel].data(), job);
    const bool spectral = blockPlan_.spectral && !blockPlan_.adaptiveOutput;
    AnalyseChannel(channel, lane, spectral);
    if (spectral) SpectralStage(channel, lane, useCapture);
    OverlapAddChannel(channel);
}

void SpectralEngine::RunChannelOnItsLane(int channel) { RunChannel(channel, channel, blockPlan_.useCapture); }

void SpectralEngine::RunOnBothThreads(void (SpectralEngine::*run)(int channel)) {
    splitRun_ = run;
    channelWorker_->Start(&SpectralEngine::RunSecondChannel, this);
    (this->*run)(0);
    channelWorker_->Wait();
}

void SpectralEngine::RunSecondChannel(void* engine) {
    auto* self = static_cast<SpectralEngine*>(engine);
    (self->*self->splitRun_)(1);
}

void SpectralEngine::RunChannelBlocks(int channel) {
    LaneScratch& lane = lanes_[channel];
    const int half = frameLength_ / 2;  // one block of one stereo channel
    bool captureActive = captureActive_;
    for (int b = 0; b < batchPlan_.count; ++b) {
        ShiftChannel(channel, batchPlan_.input + static_cast<std::ptrdiff_t>(b) * kBlockSamples);
        RunChannel(channel, channel, captureActive && batchPlan_.captureMinima);
        NarrowSamples(channelFrames_[channel].accumulator.data(),
                      lane.output.data() + static_cast<std::ptrdiff_t>(b) * half, half);
        UpdateChannelCapture(channel, captureActive, batchPlan_.captureMinima);
        captureActive = batchPlan_.captureMinima;
    }
}

void SpectralEngine::ProcessBlocks(const int16_t* input, int16_t* output, int count) {
    if (count <= 0) return;
    const bool split = channelWorker_ && channels_ == 2 && fft_.HasPlans() && count <= kMaxBatchBlocks &&
                       options_.Method.load(std::memory_order_relaxed) == NoiseReductionMethod::Classic;
    const int samples = count * kBlockSamples;
    if (split) {
        batchPlan_ = {input, count, options_.CaptureMinima.load()};
        // Every block of the run takes the classic spectral stage.
        blockPlan_.spectral = true;
        blockPlan_.adaptive = false;
        RunOnBothThreads(&SpectralEngine::RunChannelBlocks);
        for (int i = 0; i < samples / 2; ++i) {
            output[2 * i] = lanes_[0].output[i];
            output[2 * i + 1] = lanes_[1].output[i];
        }
        captureActive_ = batchPlan_.captureMinima;
    } else {
        for (int b = 0; b < count; ++b) {
            const auto offset = static_cast<std::ptrdiff_t>(b) * kBlockSamples;
            for (int c = 0; c < channels_; ++c) ShiftChannel(c, input + offset);
            RunBlock(true, output + offset);
        }
    }
    std::copy_n(input + static_cast<std::ptrdiff_t>(samples - kBlockSamples), kBlockSamples, inputBlock_.begin());
    std::copy_n(output + static_cast<std::ptrdiff_t>(samples - kBlockSamples), kBlockSamples, outputBlock_.begin());
}

void SpectralEngine::ProcessBlock(bool process) { RunBlock(process, outputBlock_.data()); }

void SpectralEngine::RunBlock(bool process, int16_t* output) {
    blockPlan_.spectral = process && fft_.HasPlans();
    blockPlan_.adaptiveOutput = options_.Method.load(std::memory_order_relaxed) == NoiseReductionMethod::Adaptive;
    blockPlan_.adaptive = blockPlan_.spectral && blockPlan_.adaptiveOutput;
    if (blockPlan_.adaptive) blockPlan_.settings = adaptive_.BeginBlock(options_, learning_);
    blockPlan_.useCapture = captureActive_ && options_.CaptureMinima.load(std::memory_order_relaxed);
    // A frame that is only windowed costs less than handing it over.
    if (channelWorker_ && channels_ == 2 && blockPlan_.spectral) {
        RunOnBothThreads(&SpectralEngine::RunChannelOnItsLane);
    } else {
        for (int c = 0; c < channels_; ++c) RunChannel(c, 0, blockPlan_.useCapture);
    }
    UpdateCapture();
    if (blockPlan_.adaptiveOutput) {
        TakeFramedOutput(output);
    } else {
        TakeOutputBlock(output);
    }
}

}  // namespace murmex
