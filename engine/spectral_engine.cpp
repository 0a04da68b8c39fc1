#include "engine/spectral_engine.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "engine/sample_conversion.h"

namespace murmex {

namespace {

constexpr float kMinimumSearchStart = 9e32f;
constexpr int kMinimumHalfWidth = 8;
constexpr float kTrackerFloor = 1.0f;
constexpr float kLowLevelThreshold = 10.0f;
constexpr float kLowLevelStep = 0.01f;
constexpr double kStepCap = 0.1;
constexpr float kNoiseFloor = 1e-20f;
constexpr double kPreviousRatioWeight = 0.99;
constexpr double kCurrentRatioWeight = 0.01;
constexpr double kDetailGainThreshold = 0.7;
constexpr int kDetailAboveBin = 409;
constexpr double kDetailFactor = 1.35;
constexpr int kInverseShift = 11;  // the inverse transform is 2048 = 2^11 times too large
constexpr int kLastOddBin = 1023;

// Wiener-type gain xi / (1 + xi). An overflowed xi means the bin stands infinitely far above
// the noise, so it passes whole instead of becoming inf / inf = NaN.
float WienerGain(float xi) {
    if (std::isinf(xi) && xi > 0) return 1.0f;
    const double gain = xi / (1.0 + xi);
    return gain > 0 ? static_cast<float>(gain) : 0.0f;
}

}  // namespace

SpectralEngine::SpectralEngine(ProcessingOptions& options) : options_(options) {}

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
        const double re = spectrum[2 * b];
        const double im = spectrum[2 * b + 1];
        power_[b] = static_cast<float>(re * re + im * im);
    }

    const int base = channel * kBins;
    double prev = 0.0;
    binPower_[base] = power_[0];
    for (int k = 1; k <= kLastOddBin; k += 2) {
        const int i = base + k;
        binPower_[i] = power_[k];
        binPower_[i + 1] = power_[k + 1];
        const float smoothed = static_cast<float>(smoothingKernel_[0] * prev +
                                                  smoothingKernel_[1] * static_cast<double>(power_[k]) +
                                                  smoothingKernel_[2] * static_cast<double>(power_[k + 1]));
        prev = power_[k];
        smoothedPower_[i] = static_cast<float>(0.5 * smoothed + 0.5 * smoothedPower_[i]);
        noiseTracker_[i] = std::max(noiseTracker_[i], kTrackerFloor);
        if (!options_.StopNoiseEstimation.load(std::memory_order_relaxed)) {
            UpdateBinEstimate(i, k);
        }

        float biased = static_cast<float>(static_cast<double>(noiseEstimate_[i]) *
                                          options_.BiasFactor.load(std::memory_order_relaxed));
        if (!(biased > 0.0f)) biased = kNoiseFloor;
        biasedNoise_[i] = biased;

        if (std::fabs(binPower_[i]) > std::fabs(biased)) {
            const float d = static_cast<float>(std::sqrt(std::fabs(static_cast<double>(binPower_[i]) - noiseEstimate_[i])));
            const float e = static_cast<float>(
                std::sqrt(options_.ReductionFactor.load(std::memory_order_relaxed) / static_cast<double>(d)));
            binRatio_[i] = static_cast<float>(binPower_[i] / (static_cast<double>(biased) * e));
        } else {
            binRatio_[i] = 1.0f;
        }

        const double gain = binGain_[i];
        const float xi = static_cast<float>(kPreviousRatioWeight * gain * gain * previousRatio_[i] +
                                            kCurrentRatioWeight * binRatio_[i]);
        previousRatio_[i] = binRatio_[i];
        binGain_[i] = WienerGain(xi);

        double lower = std::fabs(binGain_[i]);
        double upper = k >= 3 ? std::fabs(static_cast<double>(binGain_[i]) + binGain_[i - 2]) * 0.5 : lower;
        if (k > kDetailAboveBin && lower > kDetailGainThreshold &&
            options_.DetailAmplifier.load(std::memory_order_relaxed)) {
            lower *= kDetailFactor;
            upper *= kDetailFactor;
        }
        synthesisGain_[k] = static_cast<float>(lower);
        synthesisGain_[k + 1] = static_cast<float>(upper);
    }
    synthesisGain_[0] = 1.0f;

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

void SpectralEngine::UpdateBinEstimate(int i, int k) {
    const int base = i - k;
    const int lowest = std::max(1, k - kMinimumHalfWidth);
    const int highest = std::min(kLastOddBin, k + kMinimumHalfWidth);
    float minimum = kMinimumSearchStart;
    for (int j = lowest; j <= highest; j += 2) {
        minimum = std::min(minimum, smoothedPower_[base + j]);
    }
    localMinimum_[i] = minimum;

    if (previousMinimum_[i] < kLowLevelThreshold) adaptStep_[i] = kLowLevelStep;
    const double tracker = noiseTracker_[i];
    if (localMinimum_[i] >= previousMinimum_[i]) {
        // Minimum rising or steady: climb towards it by the current step, then spend the step.
        noiseTracker_[i] = static_cast<float>(
            tracker + adaptStep_[i] * std::max(static_cast<double>(previousMinimum_[i]) - tracker, 0.0));
        adaptStep_[i] = 0.0f;
    } else {
        // Minimum falling: grow the step with the drop and follow the minimum down at once.
        const float reciprocal =
            static_cast<float>(1.0 / (static_cast<double>(previousMinimum_[i]) - localMinimum_[i]));
        adaptStep_[i] = static_cast<float>(std::min(std::sqrt(static_cast<double>(reciprocal)) + adaptStep_[i], kStepCap));
        noiseTracker_[i] = static_cast<float>(tracker + std::min(localMinimum_[i] - tracker, 0.0));
    }
    previousMinimum_[i] = localMinimum_[i];
    const bool captureMinima = options_.CaptureMinima.load(std::memory_order_relaxed);
    noiseEstimate_[i] = (captureMinima && captureActive_) ? std::max(capturedNoise_[i], noiseTracker_[i])
                                                          : noiseTracker_[i];
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
