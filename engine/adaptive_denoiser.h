#pragma once

#include <algorithm>
#include <array>

#include "engine/processing_options.h"

namespace murmex {

// The adaptive noise-reduction method, applied to one channel's spectrum at a time inside its
// own framing (AdaptiveFraming), whose frames last 20-40 ms at any rate. Per bin and frame:
// - the noise power is tracked by a minimum-mean-square-error update weighted by the
//   probability that speech is present, which works in ratios of power to noise and so learns
//   as fast at any recording level;
// - a bin held near certain presence for a while whose power still fluctuates like noise is
//   let rise (a noise that grows), while a steady tone, whose power hardly fluctuates, is not;
// - for the first half second the estimate is also held below the bias-compensated minimum of
//   the smoothed power seen so far, so that a recording that opens with speech does not take
//   the speech for noise;
// - the a-priori SNR is decision-directed and the gain is the log-spectral-amplitude estimator,
//   limited below by the gain floor that "Reduction level" sets and drawn towards that floor as
//   far as the bin is likely to hold noise alone.
// All state lives in fixed arrays, so processing never allocates.
class AdaptiveDenoiser {
public:
    // The most bins a frame has (4096 samples); each channel's bins start a cache line apart.
    static constexpr int kMaxBins = 2049;
    static constexpr int kBinStride = 2064;
    static constexpr int kMaxChannels = 2;
    static constexpr int kDefaultSampleRate = 44100;
    using BinArray = std::array<float, kMaxChannels * kBinStride>;

    // What one block reads from the options, so that every channel of it sees the same values.
    struct FrameSettings {
        float bias = 1.0f;       // noise estimate scale, "Noise bias level"
        float binFloor = 1.0f;   // lowest gain of a bin, from "Reduction level"
        bool track = true;       // off while "Stop noise estimation" is on
        bool detail = false;     // "Fourier detail amplifier"
    };

    AdaptiveDenoiser();

    // Strongest attenuation for a reduction factor e^(q/100), q = 100..1100: -10.5 dB at the
    // default q = 600, where musical noise stays low, 1.4 dB deeper or shallower per 100, so
    // -3.5 dB at 100 and -17.5 dB at 1100. Steady noise alone comes out at or below it.
    static float GainFloorFor(float reductionFactor);
    // Noise peaks that pass above a bin's lowest gain give back part of the attenuation, more
    // the deeper it is (0.4 dB at -11.5 dB, 1 dB at -18.5 dB), so a bin's lowest gain sits a
    // tenth deeper in dB than the floor: GainFloorFor(...)^1.1, -11.55 dB at the default.
    static constexpr float kBinFloorExponent = 1.1f;

    // Load step: the channel count, the bins of a frame and the time constants for its hop.
    void Configure(int channels, int bins, double hopSeconds);
    int Bins() const { return bins_; }
    // New run. keepNoise keeps the learnt noise estimate and counts the tracker as settled.
    void Reset(bool keepNoise);
    // Once per block before its channels: reads the options and follows "Capture minima".
    FrameSettings BeginBlock(const ProcessingOptions& options, bool learning);
    // Per-frame working space of one channel, which the caller keeps (one per thread that runs
    // channels) so that a block never allocates.
    struct Scratch {
        std::array<float, kMaxBins> wiener{};
        std::array<float, kMaxBins> lsa{};
    };

    // Filters one channel's spectrum (Bins() interleaved re/im pairs) in place. power receives
    // |Y|^2 and biasedNoise the noise estimate the gain used, for the spectrum display. The two
    // channels of a block may run at once on two threads: each touches only its own state.
    void ProcessChannel(int channel, Scratch& scratch, float* spectrum, float* power, float* biasedNoise,
                        const FrameSettings& settings);
    const BinArray& NoisePower() const { return noise_; }
    const BinArray& Gain() const { return gain_; }
    // Frames of warm-up left before the tracker runs on its own.
    int WarmUpFramesLeft() const;

private:
    // Copies the learnt noise out and back in (a host's session keeps it).
    friend class LearntNoise;

    // The warm-up's minimum search starts above any power.
    static constexpr float kMinimumSearchStart = 3.0e38f;

    struct Constants {
        float noiseSmoothing = 0.0f;     // tracker's recursive average
        float presenceSmoothing = 0.0f;  // of the presence probability, against stagnation
        float statsSmoothing = 0.0f;     // of power and squared power
        float decisionDirected = 0.0f;   // weight of the previous frame's clean estimate
        float gainNoiseSmoothing = 0.0f; // of the estimate the gain uses
        int warmUpFrames = 0;
        int warmUpStart = 0;             // the minimum search waits until the averages hold
    };

    // exp(E1(v) / 2), interpolated in the table.
    float LsaFactor(float v) const;
    void StartTracking(int channel, const float* power);
    void TrackNoise(int channel, const float* power, int frames);
    void ComputeGains(int channel, const float* power, float* biasedNoise, const FrameSettings& s, Scratch& scratch);

    // exp(E1(v) / 2) of the log-spectral-amplitude gain, on a grid of 16 points per octave of v
    // from 2^-12 to 2^6, indexed straight from the bits of v (see adaptive_denoiser.cpp).
    static constexpr int kLsaLowestOctave = -12;
    static constexpr int kLsaOctaves = 18;
    static constexpr int kLsaStepsPerOctave = 16;
    std::array<float, kLsaOctaves * kLsaStepsPerOctave + 1> lsaFactor_{};

    Constants constants_;
    int channels_ = 1;
    int bins_ = 513;
    int detailFrom_ = 206;  // the first bin "Fourier detail amplifier" raises
    // Frames of each channel since the run began. The count stops once the warm-up is over, so
    // that a plugin left running for months never overflows it.
    std::array<int, kMaxChannels> framesSinceReset_{};
    bool captureActive_ = false;

    BinArray noise_{};
    BinArray gainNoise_{};  // the estimate averaged further, steadier where it divides the power
    BinArray smoothedPower_{};
    BinArray smoothedSquare_{};
    BinArray presence_{};
    BinArray warmMinimum_{};
    BinArray previousClean_{};
    BinArray captured_{};
    BinArray gain_{};
};

}  // namespace murmex
