#pragma once

#include <cstdint>

#include <fftw3.h>

#include "engine/adaptive_denoiser.h"

namespace murmex {

// What the frames of one channel's block do. A null denoiser passes them through the windows
// alone. The display arrays receive, after the block's last frame, the power and the noise
// estimate resampled to `displayBins` bins of the classic layout, scaled to its frame.
struct AdaptiveFrameJob {
    AdaptiveDenoiser* denoiser = nullptr;
    AdaptiveDenoiser::FrameSettings settings;
    AdaptiveDenoiser::Scratch* scratch = nullptr;
    float* displayPower = nullptr;
    float* displayNoise = nullptr;
    int displayBins = 0;
    float displayScale = 1.0f;
};

// The adaptive method's short-time framing, set by duration rather than by samples: speech
// enhancement wants frames of 20-40 ms, which the engine's fixed 2048 samples give only near
// 44.1 kHz (256 ms at 8 kHz). Each channel runs sqrt-Hann frames of the smallest power of two
// that lasts at least 20 ms (256 samples at 8 kHz, 1024 at 44.1 and 48 kHz, 4096 at 192 kHz),
// advancing by half a frame, as many per engine block as the hop allows or one every few
// blocks. Output lags input by whole engine blocks (LatencyBlocks), the fewest the frame needs.
//
// Buffers are allocated once, so running a block never allocates. The FFT plans are made with
// FFTW_ESTIMATE, whose choice does not depend on timing, so every process computes alike; like
// all plans they are made and released on the main thread.
class AdaptiveFraming {
public:
    static constexpr int kShortestFrame = 256;
    static constexpr int kLongestFrame = 4096;
    static constexpr int kMaxBins = kLongestFrame / 2 + 1;
    static_assert(kMaxBins == AdaptiveDenoiser::kMaxBins);
    static constexpr double kShortestFrameSeconds = 0.02;
    static constexpr int kMaxChannels = 2;
    static constexpr int kLanes = 2;

    AdaptiveFraming();
    ~AdaptiveFraming();
    AdaptiveFraming(const AdaptiveFraming&) = delete;
    AdaptiveFraming& operator=(const AdaptiveFraming&) = delete;

    static int FrameSizeFor(int sampleRate);

    // Load step: the frame for the rate and the latency for engine blocks of `blockFrames`
    // sample frames. Takes effect for the plans at the next CreatePlans.
    void Configure(int sampleRate, int blockFrames);
    int FrameSize() const { return frameSize_; }
    int Hop() const { return frameSize_ / 2; }
    int Bins() const { return frameSize_ / 2 + 1; }
    int LatencyBlocks() const { return latencyBlocks_; }

    // Plans for the configured frame size; throws std::runtime_error when FFTW cannot make them.
    void CreatePlans();
    void ReleasePlans();
    bool HasPlans() const { return forward_ != nullptr && plannedSize_ == frameSize_; }

    // New run: empty frames and accumulators, the output queue primed with the silence of the latency.
    void Reset();

    // One channel's samples of an engine block (blockFrames values) through every frame they
    // complete, and that channel's output samples of the block. With job.denoiser null the
    // frames pass the windows alone. The two channels may run at once on two lanes.
    void RunChannel(int channel, int lane, const int16_t* samples, int16_t* output, const AdaptiveFrameJob& job);

private:
    struct Channel {
        float* frame = nullptr;        // the last frameSize_ input samples; the newest hop fills up
        float* accumulator = nullptr;  // overlap-add sums, aligned with frame
        float* queue = nullptr;        // finished samples waiting to leave, a ring
        int pending = 0;               // samples of the newest hop so far
        int queueStart = 0;
        int queueCount = 0;
    };
    struct Lane {
        float* input = nullptr;
        fftwf_complex* spectrum = nullptr;
        float* output = nullptr;
        float* power = nullptr;  // of the last frame, and the noise estimate its gains used
        float* noise = nullptr;
    };
    static constexpr int kQueueSize = 2 * kLongestFrame;

    void RunFrame(Channel& channel, int channelIndex, const Lane& lane, const AdaptiveFrameJob& job);
    void ShowSpectrum(int lane, const AdaptiveFrameJob& job) const;
    void FreeBuffers();

    int frameSize_ = 1024;
    int blockFrames_ = 1024;
    int latencyBlocks_ = 1;
    int plannedSize_ = 0;
    float window_[kLongestFrame] = {};     // sqrt-Hann, for analysis and synthesis
    float synthesis_[kLongestFrame] = {};  // the window over the inverse transform's scale
    Channel channels_[kMaxChannels];
    Lane lanes_[kLanes];
    fftwf_plan forward_ = nullptr;
    fftwf_plan inverse_ = nullptr;
};

}  // namespace murmex
