#include "engine/adaptive_framing.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <new>
#include <numbers>
#include <stdexcept>
#include <string>

#include "engine/vector_clones.h"

namespace murmex {

namespace {

float* AllocateFloats(int count) {
    float* p = fftwf_alloc_real(static_cast<size_t>(count));
    if (p != nullptr) std::fill_n(p, count, 0.0f);
    return p;
}

// Finished samples back to 16 bits, rounded to nearest and saturated; NaN gives 0.
inline int16_t ToSample(float v) {
    const float held = std::fmin(std::fmax(v == v ? v : 0.0f, -32768.0f), 32767.0f);
    return static_cast<int16_t>(std::nearbyint(held));
}

}  // namespace

AdaptiveFraming::AdaptiveFraming() {
    bool allocated = true;
    for (Channel& c : channels_) {
        c.frame = AllocateFloats(kLongestFrame);
        c.accumulator = AllocateFloats(kLongestFrame);
        c.queue = AllocateFloats(kQueueSize);
        allocated = allocated && c.frame && c.accumulator && c.queue;
    }
    for (Lane& l : lanes_) {
        l.input = AllocateFloats(kLongestFrame);
        l.spectrum = fftwf_alloc_complex(kMaxBins);
        l.output = AllocateFloats(kLongestFrame);
        l.power = AllocateFloats(kMaxBins);
        l.noise = AllocateFloats(kMaxBins);
        allocated = allocated && l.input && l.spectrum && l.output && l.power && l.noise;
    }
    if (!allocated) {
        FreeBuffers();
        throw std::bad_alloc();
    }
    Configure(AdaptiveDenoiser::kDefaultSampleRate, 1024);
    Reset();
}

AdaptiveFraming::~AdaptiveFraming() {
    ReleasePlans();
    FreeBuffers();
}

void AdaptiveFraming::FreeBuffers() {
    for (Channel& c : channels_) {
        fftwf_free(c.frame);
        fftwf_free(c.accumulator);
        fftwf_free(c.queue);
    }
    for (Lane& l : lanes_) {
        fftwf_free(l.input);
        fftwf_free(l.spectrum);
        fftwf_free(l.output);
        fftwf_free(l.power);
        fftwf_free(l.noise);
    }
}

int AdaptiveFraming::FrameSizeFor(int sampleRate) {
    const double rate = sampleRate > 0 ? sampleRate : AdaptiveDenoiser::kDefaultSampleRate;
    const auto wanted = static_cast<unsigned>(std::ceil(rate * kShortestFrameSeconds));
    return std::clamp(static_cast<int>(std::bit_ceil(std::max(wanted, 1u))), kShortestFrame, kLongestFrame);
}

void AdaptiveFraming::Configure(int sampleRate, int blockFrames) {
    frameSize_ = FrameSizeFor(sampleRate);
    blockFrames_ = blockFrames;
    // A hop that divides the block finishes a block's samples frameSize - hop after they came
    // in; a hop of several blocks, frameSize - blockFrames after (see Reset).
    const int hop = Hop();
    latencyBlocks_ = std::max(1, (frameSize_ - std::min(hop, blockFrames) + blockFrames - 1) / blockFrames);
    const double n = frameSize_;
    for (int i = 0; i < frameSize_; ++i) {
        window_[i] = static_cast<float>(std::sin(std::numbers::pi * i / n));
        // The squared windows of frames half a frame apart add up to 1; the inverse transform
        // comes out frameSize times too large.
        synthesis_[i] = static_cast<float>(std::sin(std::numbers::pi * i / n) / n);
    }
}

void AdaptiveFraming::CreatePlans() {
    ReleasePlans();
    forward_ = fftwf_plan_dft_r2c_1d(frameSize_, lanes_[0].input, lanes_[0].spectrum, FFTW_ESTIMATE);
    inverse_ = fftwf_plan_dft_c2r_1d(frameSize_, lanes_[0].spectrum, lanes_[0].output, FFTW_ESTIMATE);
    if (forward_ == nullptr || inverse_ == nullptr) {
        ReleasePlans();
        throw std::runtime_error("FFTW could not plan the " + std::to_string(frameSize_) + "-point transforms");
    }
    plannedSize_ = frameSize_;
}

void AdaptiveFraming::ReleasePlans() {
    if (forward_ != nullptr) fftwf_destroy_plan(forward_);
    if (inverse_ != nullptr) fftwf_destroy_plan(inverse_);
    forward_ = nullptr;
    inverse_ = nullptr;
    plannedSize_ = 0;
}

void AdaptiveFraming::Reset() {
    // The queue's stream sample p holds input sample p - frameSize + hop, so priming it with
    // latency - (frameSize - hop) samples of silence makes every sample leave exactly
    // LatencyBlocks blocks after it came in.
    const int primed = latencyBlocks_ * blockFrames_ - (frameSize_ - Hop());
    for (Channel& c : channels_) {
        std::fill_n(c.frame, kLongestFrame, 0.0f);
        std::fill_n(c.accumulator, kLongestFrame, 0.0f);
        std::fill_n(c.queue, kQueueSize, 0.0f);
        c.pending = 0;
        c.queueStart = 0;
        c.queueCount = std::max(primed, 0);
    }
}

MURMEX_VECTOR_CLONES void AdaptiveFraming::RunFrame(Channel& channel, int channelIndex, const Lane& lane,
                                                    const AdaptiveFrameJob& job) {
    const int n = frameSize_;
    const int hop = Hop();
    float* __restrict frame = channel.frame;
    float* __restrict accumulator = channel.accumulator;
    float* __restrict output = lane.output;
    if (job.denoiser != nullptr) {
        float* __restrict input = lane.input;
        for (int i = 0; i < n; ++i) input[i] = frame[i] * window_[i];
        fftwf_execute_dft_r2c(forward_, input, lane.spectrum);
        job.denoiser->ProcessChannel(channelIndex, *job.scratch, reinterpret_cast<float*>(lane.spectrum), lane.power,
                                     lane.noise, job.settings);
        fftwf_execute_dft_c2r(inverse_, lane.spectrum, output);
        for (int i = 0; i < n; ++i) accumulator[i] += output[i] * synthesis_[i];
    } else {
        for (int i = 0; i < n; ++i) accumulator[i] += frame[i] * window_[i] * window_[i];
    }
    // The oldest hop is finished: into the queue, and everything moves on by a hop.
    int at = (channel.queueStart + channel.queueCount) % kQueueSize;
    for (int i = 0; i < hop; ++i) {
        channel.queue[at] = accumulator[i];
        at = at + 1 == kQueueSize ? 0 : at + 1;
    }
    channel.queueCount += hop;
    std::copy(accumulator + hop, accumulator + n, accumulator);
    std::fill(accumulator + n - hop, accumulator + n, 0.0f);
    std::copy(frame + hop, frame + n, frame);
}

void AdaptiveFraming::RunChannel(int channelIndex, int laneIndex, const int16_t* samples, int16_t* output,
                                 const AdaptiveFrameJob& job) {
    Channel& channel = channels_[channelIndex];
    const Lane& lane = lanes_[laneIndex];
    const int n = frameSize_;
    const int hop = Hop();
    bool framed = false;
    for (int taken = 0; taken < blockFrames_;) {
        const int count = std::min(hop - channel.pending, blockFrames_ - taken);
        float* newest = channel.frame + (n - hop) + channel.pending;
        for (int i = 0; i < count; ++i) newest[i] = samples[taken + i];
        taken += count;
        channel.pending += count;
        if (channel.pending == hop) {
            RunFrame(channel, channelIndex, lane, job);
            channel.pending = 0;
            framed = true;
        }
    }
    for (int i = 0; i < blockFrames_; ++i) {
        output[i] = ToSample(channel.queue[channel.queueStart]);
        channel.queueStart = channel.queueStart + 1 == kQueueSize ? 0 : channel.queueStart + 1;
    }
    channel.queueCount -= blockFrames_;
    if (framed && job.denoiser != nullptr && job.displayPower != nullptr) ShowSpectrum(laneIndex, job);
}

void AdaptiveFraming::ShowSpectrum(int laneIndex, const AdaptiveFrameJob& job) const {
    const Lane& lane = lanes_[laneIndex];
    const int top = Bins() - 1;
    const float step = static_cast<float>(top) / static_cast<float>(job.displayBins - 1);
    for (int k = 0; k < job.displayBins; ++k) {
        const float at = static_cast<float>(k) * step;
        const int below = std::min(static_cast<int>(at), top - 1);
        const float f = at - static_cast<float>(below);
        job.displayPower[k] = job.displayScale * (lane.power[below] + f * (lane.power[below + 1] - lane.power[below]));
        job.displayNoise[k] = job.displayScale * (lane.noise[below] + f * (lane.noise[below + 1] - lane.noise[below]));
    }
}

}  // namespace murmex
