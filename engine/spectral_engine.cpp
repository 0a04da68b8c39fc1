#include "engine/spectral_engine.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>

#include "engine/sample_conversion.h"

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
constexpr float kDetailGainThreshold = 0.7f;
constexpr int kDetailAboveBin = 409;
constexpr float kDetailFactor = 1.35f;
constexpr int kInverseShift = 11;  // the inverse transform is 2048 = 2^11 times too large
constexpr int kLastOddBin = 1023;

// Wiener-type gain xi / (1 + xi). An overflowed xi means the bin stands infinitely far above
// the noise, so it passes whole instead of becoming inf / inf = NaN.
float WienerGain(float xi) {
    const float gain = xi / (1.0f + xi);
    return xi == std::numeric_limits<float>::infinity() ? 1.0f : (gain > 0.0f ? gain : 0.0f);
}

}  // namespace

SpectralEngine::SpectralEngine(ProcessingOptions& options) : options_(options) {
    oddSmoothed_.fill(kMinimumSearchStart);
    oddPreviousSmoothed_.fill(kMinimumSearchStart);
}

void SpectralEngine::SetChannels(int channels) {
    if (channels < 1 || channels > kMaxChannels) {
        throw std::invalid_argument("the engine handles 1 or 2 channels");
    }
    channels_ = channels;
    frameLength_ = kFftSize / channels;
}

void SpectralEngine::ResetPreviousMinimum() {
    for (int c = 0; c < channels_; ++c) {
        std::fill_n(previousMinimum_.begin() + c * kBins, kBins - 1, 1.0f);
    }
}

void SpectralEngine::BuildAnalysisWindow() {
    analysisWindow_.fill(0.0f);
    for (int k = 0; k < frameLength_; ++k) {
        analysisWindow_[k] = static_cast<float>(
            std::sin(std::numbers::pi_v<long double> * (k + 0.5L) / frameLength_));
    }
}

void SpectralEngine::BuildSmoothingKernel() {
    smoothingKernel_.fill(0.0f);
    for (int j = 1; j <= 3; ++j) {
        smoothingKernel_[j - 1] = static_cast<float>(
            0.5L * (1.0L - std::cos(2.0L * std::numbers::pi_v<long double> * j / 3.0L)));
    }
}

void SpectralEngine::PrepareEngine() {
    const bool keepEstimate = options_.StopNoiseEstimation.load();
    dcFilter_.Reset();
    dcPowerAverage_ = 0.0f;
    bin1PowerAverage_ = 100.0f;
    if (!keepEstimate) {
        noiseEstimate_.fill(0.0f);
        biasedNoise_.fill(0.0f);
    }
    binRatio_.fill(0.0f);
    smoothedPower_.fill(0.0f);
    binPower_.fill(0.0f);
    binGain_.fill(0.0f);
    for (int c = 0; c < channels_; ++c) {
        const int first = c * kBins;
        const int count = kBins - 1;  // bins 0..1023; the Nyquist bin keeps its value
        std::fill_n(binGain_.begin() + first, count, 1.0f);
        std::fill_n(previousRatio_.begin() + first, count, 1.0f);
        std::fill_n(adaptStep_.begin() + first, count, 1e-20f);
        if (!keepEstimate) {
            std::fill_n(localMinimum_.begin() + first, count, 1.0f);
            std::fill_n(noiseTracker_.begin() + first, count, 1.0f);
            std::fill_n(previousMinimum_.begin() + first, count, 1.1f);
        }
    }
    outputBlock_.fill(0);
    inputBlock_.fill(0);
    analysisHistory_.fill(0);
    outputAccumulator_.fill(0);
    if (!engineReady_) {
        fft_.CreatePlans();
        engineReady_ = true;
    }
}

void SpectralEngine::ReleasePlans() {
    fft_.ReleasePlans();
    engineReady_ = false;
}

void SpectralEngine::ShiftHistory() {
    std::copy_n(outputAccumulator_.begin() + kBlockSamples, kBlockSamples, outputAccumulator_.begin());
    std::fill_n(outputAccumulator_.begin() + kBlockSamples, kBlockSamples, int16_t{0});
    std::copy_n(analysisHistory_.begin() + kBlockSamples, kBlockSamples, analysisHistory_.begin());
    std::copy(inputBlock_.begin(), inputBlock_.end(), analysisHistory_.begin() + kBlockSamples);
}

void SpectralEngine::ProcessBlock(bool process) {
    const bool spectral = process && fft_.HasPlans();
    for (int c = 0; c < channels_; ++c) {
        AnalyseChannel(c);
        if (spectral) SpectralStage(c);
        OverlapAdd(c);
    }
    UpdateCapture();
    std::copy_n(outputAccumulator_.begin(), kBlockSamples, outputBlock_.begin());
}

void SpectralEngine::AnalyseChannel(int channel) {
    float* input = fft_.FftInput();
    for (int i = 0; i < frameLength_; ++i) {
        const float windowed = analysisHistory_[i * channels_ + channel] * analysisWindow_[i];
        input[i] = windowed;
        frame_[i] = static_cast<int64_t>(windowed);
    }
}

void SpectralEngine::SpectralStage(int channel) {
    fft_.ExecuteForward();
    float* spectrum = fft_.FftSpectrum();
    for (int b = 0; b < kBins; ++b) {
        const float re = spectrum[2 * b];
        const float im = spectrum[2 * b + 1];
        power_[b] = re * re + im * im;
    }
    // The three passes below keep the per-bin order of the rules: the noise estimate of a bin
    // depends on its neighbours, but its gain only on the bin itself and, for the even bin
    // above it, on the gain two bins below. Splitting them lets the gain arithmetic of many
    // bins overlap.
    TrackNoise(channel);
    ComputeGains(channel);
    BuildSynthesisGains(channel);

    // The Nyquist bin passes unchanged.
    for (int b = 0; b < kBins - 1; ++b) {
        spectrum[2 * b] *= synthesisGain_[b];
        spectrum[2 * b + 1] *= synthesisGain_[b];
    }
    fft_.ExecuteInverse();
    const float* output = fft_.FftOutput();
    for (int i = 0; i < frameLength_; ++i) {
        frame_[i] = TruncToInt64(output[i]) >> kInverseShift;
    }
}

void SpectralEngine::TrackNoise(int channel) {
    const int base = channel * kBins;
    float* smoothed = smoothedPower_.data() + base;
    float prev = 0.0f;
    binPower_[base] = power_[0];
    for (int m = 0; m < kOddBins; ++m) {
        const int k = 2 * m + 1;
        binPower_[base + k] = power_[k];
        binPower_[base + k + 1] = power_[k + 1];
        const float v =
            smoothingKernel_[0] * prev + smoothingKernel_[1] * power_[k] + smoothingKernel_[2] * power_[k + 1];
        prev = power_[k];
        oddPreviousSmoothed_[kMinimumPad + m] = smoothed[k];
        smoothed[k] = 0.5f * v + 0.5f * smoothed[k];
        oddSmoothed_[kMinimumPad + m] = smoothed[k];
        noiseTracker_[base + k] = std::max(noiseTracker_[base + k], kTrackerFloor);
    }
    if (options_.StopNoiseEstimation.load(std::memory_order_relaxed)) return;

    // Minimum over the odd bins k-8..k+8: those up to k already hold this frame's smoothed
    // power, those above k still the previous frame's. The pads hold the search's start value.
    for (int m = 0; m < kOddBins; ++m) {
        float minimum = kMinimumSearchStart;
        for (int j = 0; j <= kMinimumPad; ++j) minimum = std::min(minimum, oddSmoothed_[m + j]);
        for (int j = kMinimumPad + 1; j <= 2 * kMinimumPad; ++j) {
            minimum = std::min(minimum, oddPreviousSmoothed_[m + j]);
        }
        oddMinimum_[m] = minimum;
    }
    UpdateTrackers(channel, captureActive_ && options_.CaptureMinima.load(std::memory_order_relaxed));
}

void SpectralEngine::ComputeGains(int channel) {
    const int base = channel * kBins;
    const float bias = options_.BiasFactor.load(std::memory_order_relaxed);
    const float reduction = options_.ReductionFactor.load(std::memory_order_relaxed);
    for (int i = base + 1; i <= base + kLastOddBin; i += 2) {
        const float scaled = noiseEstimate_[i] * bias;
        const float biased = scaled > 0.0f ? scaled : kNoiseFloor;
        biasedNoise_[i] = biased;

        // Both sides are computed and one is picked, which keeps the loop free of branches.
        const float power = binPower_[i];
        const float d = std::sqrt(std::fabs(power - noiseEstimate_[i]));
        const float e = std::sqrt(reduction / d);
        const float ratio = std::fabs(power) > std::fabs(biased) ? power / (biased * e) : 1.0f;
        binRatio_[i] = ratio;

        const float gain = binGain_[i];
        const float xi = kPreviousRatioWeight * gain * gain * previousRatio_[i] + kCurrentRatioWeight * ratio;
        previousRatio_[i] = ratio;
        binGain_[i] = WienerGain(xi);
    }
}

void SpectralEngine::BuildSynthesisGains(int channel) {
    const float* gain = binGain_.data() + channel * kBins;
    const bool detail = options_.DetailAmplifier.load(std::memory_order_relaxed);
    for (int k = 1; k <= kLastOddBin; k += 2) {
        float lower = std::fabs(gain[k]);
        float upper = k >= 3 ? std::fabs(gain[k] + gain[k - 2]) * 0.5f : lower;
        if (detail && k > kDetailAboveBin && lower > kDetailGainThreshold) {
            lower *= kDetailFactor;
            upper *= kDetailFactor;
        }
        synthesisGain_[k] = lower;
        synthesisGain_[k + 1] = upper;
    }
    synthesisGain_[0] = 1.0f;
}

void SpectralEngine::UpdateTrackers(int channel, bool useCapture) {
    const int base = channel * kBins;
    for (int m = 0; m < kOddBins; ++m) {
        const int i = base + 2 * m + 1;
        const float minimum = oddMinimum_[m];
        const float previous = previousMinimum_[i];
        const float tracker = noiseTracker_[i];
        const float step = previous < kLowLevelThreshold ? kLowLevelStep : adaptStep_[i];
        // Minimum rising or steady: climb towards the previous minimum by the current step,
        // then spend the step. Falling: grow the step with the drop and follow the minimum
        // down at once. Both are computed and one is picked, so the loop has no branches.
        const float risen = tracker + step * std::max(previous - tracker, 0.0f);
        const float fallStep = std::min(std::sqrt(1.0f / (previous - minimum)) + step, kStepCap);
        const float fallen = tracker + std::min(minimum - tracker, 0.0f);
        const bool rising = minimum >= previous;
        noiseTracker_[i] = rising ? risen : fallen;
        adaptStep_[i] = rising ? 0.0f : fallStep;
        localMinimum_[i] = minimum;
        previousMinimum_[i] = minimum;
        noiseEstimate_[i] = useCapture ? std::max(capturedNoise_[i], noiseTracker_[i]) : noiseTracker_[i];
    }
}

void SpectralEngine::OverlapAdd(int channel) {
    for (int i = 0; i < frameLength_; ++i) {
        const int n = i * channels_ + channel;
        outputAccumulator_[n] =
            TruncToSample(static_cast<double>(frame_[i]) * analysisWindow_[i] + outputAccumulator_[n]);
    }
}

void SpectralEngine::UpdateCapture() {
    const bool captureMinima = options_.CaptureMinima.load();
    if (!captureActive_ && captureMinima) {
        capturedNoise_ = noiseTracker_;
    } else if (captureActive_ && !captureMinima) {
        capturedNoise_.fill(0.0f);
    }
    captureActive_ = captureMinima;
}

}  // namespace murmex
