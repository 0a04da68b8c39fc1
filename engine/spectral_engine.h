#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/adaptive_denoiser.h"
#include "engine/adaptive_framing.h"
#include "engine/channel_worker.h"
#include "engine/dc_offset_filter.h"
#include "engine/fftw_interface.h"
#include "engine/odd_bin_array.h"
#include "engine/processing_options.h"

namespace murmex {

// Short-time spectral noise reduction of 16-bit PCM blocks: sine-windowed 2048-point frames
// advancing by half a frame, per-bin noise tracking on the odd bins, Wiener-type gains and
// overlap-add. Output lags input by one block. The options choose this classic rule set or the
// adaptive method (AdaptiveDenoiser), which runs in frames of its own (AdaptiveFraming) whose
// length follows the sample rate, and may lag by more blocks at high rates (LatencyBlocks).
// Both framings take every block, the one not chosen through its windows alone, so that a
// change of method while audio plays continues the sound.
//
// All state lives in fixed arrays, so processing a block never allocates. PrepareEngine, the
// table builders and the set-up calls run on the main thread while no block is processed;
// ProcessBlock and RemoveDcOffset run on the one thread that drives a preview or a save, which
// may hand the second channel of a stereo block to a thread of the engine's own
// (SetChannelThreads): the channels share no state, only the read-only history and tables.
class SpectralEngine {
public:
    static constexpr int kFftSize = FftwInterface::kSize;
    static constexpr int kBins = FftwInterface::kBins;
    static constexpr int kChannelSlots = 3;
    // Each channel's bins start on a cache line of their own (1040 floats = 65 lines), so that two
    // threads working on the two channels of a block never write to one line.
    static constexpr int kChannelStride = 1040;
    static constexpr int kStateSize = kChannelSlots * kChannelStride;
    static constexpr int kBlockSamples = 1024;
    static constexpr int kBlockBytes = kBlockSamples * 2;
    static constexpr int kMaxChannels = 2;
    // The largest power a bin can reach: a frame holds at most kFftSize 16-bit samples, each
    // windowed by a factor of at most 1, so no bin's magnitude exceeds 32768 * kFftSize (2^26).
    static constexpr float kLargestBinPower = 32768.0f * kFftSize * 32768.0f * kFftSize;

    // OutputBlock after block n holds the audio of input block n - 1 with the classic method,
    // n - LatencyBlocks() with the one chosen.
    static constexpr int kLatencyBlocks = 1;
    // "Fourier detail amplifier": gains above this threshold in bins above kDetailAboveBin
    // are raised by kDetailFactor.
    static constexpr int kDetailAboveBin = 409;
    static constexpr float kDetailGainThreshold = 0.7f;
    static constexpr float kDetailFactor = 1.35f;

    using StateArray = std::array<float, kStateSize>;
    // The per-bin arrays of which the classic method updates the odd bins only.
    using OddStateArray = OddBinArray<kBins, kChannelSlots, kChannelStride>;
    using Block = std::array<int16_t, kBlockSamples>;

    explicit SpectralEngine(ProcessingOptions& options);
    SpectralEngine(const SpectralEngine&) = delete;
    SpectralEngine& operator=(const SpectralEngine&) = delete;

    // Load step: sets the channel count (1 or 2; anything else throws std::invalid_argument)
    // and FrameLength = 2048 / channels.
    void SetChannels(int channels);
    // Load step: the rate the adaptive method's time constants are set for (default 44100 Hz).
    void SetSampleRate(int sampleRate);
    // Load step: the next PrepareEngine makes fresh FFT plans.
    void ClearEngineReady() { engineReady_ = false; }
    // Load step: PreviousMinimum = 1.0 for bins 0..1023 of each channel of the source.
    void ResetPreviousMinimum();
    void ComputeDcCoefficient() { dcFilter_.ComputeDcCoefficient(); }
    void BuildAnalysisWindow();
    void BuildSmoothingKernel();
    // Set-up call (main thread, no block running): with 2, the second channel of each stereo
    // block runs on a second thread while the calling thread runs the first, which halves the
    // time a block takes where a core is free; with 1, both run on the calling thread. The
    // output is the same bit for bit either way.
    void SetChannelThreads(int threads);
    int ChannelThreads() const { return channelWorker_ ? 2 : 1; }
    // Every load step above at once, for what loads no file: the plugin, benchmarks and tests.
    void LoadFor(int channels, int sampleRate) {
        SetChannels(channels);
        SetSampleRate(sampleRate);
        BuildAnalysisWindow();
        BuildSmoothingKernel();
        ResetPreviousMinimum();
        ComputeDcCoefficient();
    }

    // Resets the state for a new run and makes the FFT plans when they are missing. With
    // "Stop noise estimation" on, the learnt noise estimate is kept.
    void PrepareEngine();
    // As PrepareEngine, but the noise estimate learnt by the blocks processed so far is kept
    // whatever the switches say: a pass over the audio that writes nothing can teach the run
    // that follows it.
    void PrepareEngineKeepingNoise();
    // A pass that learns the noise tracks it whatever "Stop noise estimation" says; the next
    // PrepareEngine or PrepareEngineKeepingNoise ends it.
    void StartLearningPass() { learning_ = true; }
    // Teardown: releases the FFT plans.
    void ReleasePlans();

    void RemoveDcOffset(int16_t* block, int byteCount, int channels) {
        dcFilter_.RemoveDcOffset(block, byteCount, channels);
    }
    // Block step 3: moves history and accumulator on by one block and appends InputBlock.
    void ShiftHistory();
    // Block step 4: processes the current frame and fills OutputBlock. With process false the
    // frame only passes the analysis and synthesis windows. Before the first PrepareEngine
    // there are no plans and every block passes through that way.
    void ProcessBlock(bool process);
    // Several blocks at once, for a save: `count` (at most kMaxBatchBlocks) blocks read one after
    // another into `input`, each as InputBlock would hold it after the DC correction, and their
    // output blocks one after another in `output`. Output and state afterwards are those of
    // ShiftHistory and ProcessBlock(true) per block. With a second channel thread, a stereo run
    // of the classic method takes each channel through all the blocks on a thread of its own and
    // hands over once per call instead of once per block; "Capture minima" is then read once per
    // call.
    static constexpr int kMaxBatchBlocks = 32;
    void ProcessBlocks(const int16_t* input, int16_t* output, int count);

    // The block the reader fills (block step 1); DC correction works on it in place.
    int16_t* InputBlockData() { return inputBlock_.data(); }

    const ProcessingOptions& Options() const { return options_; }
    int Channels() const { return channels_; }
    int FrameLength() const { return frameLength_; }
    // Sample frames by which the output lags the input.
    int LatencyBlocks() const;
    int LatencyFrames() const { return LatencyBlocks() * kBlockSamples / channels_; }
    const AdaptiveFraming& Framing() const { return framing_; }
    bool EngineReady() const { return engineReady_; }
    bool CaptureActive() const { return captureActive_; }
    const FftwInterface& Fft() const { return fft_; }
    const DcOffsetFilter& DcFilter() const { return dcFilter_; }

    const Block& InputBlock() const { return inputBlock_; }
    const Block& OutputBlock() const { return outputBlock_; }
    const std::array<float, kFftSize>& AnalysisWindow() const { return analysisWindow_; }
    const std::array<float, 3>& SmoothingKernel() const { return smoothingKernel_; }

    // The full layouts of the state arrays, each channel's bins from channel * kChannelStride on.
    // The odd-bin arrays are brought up to date by the call (main thread, no block running).
    const StateArray& BinPower() const { return binPower_; }
    const StateArray& SmoothedPower() const { return smoothedPower_.All(); }
    const StateArray& NoiseTracker() const { return noiseTracker_.All(); }
    const StateArray& LocalMinimum() const { return localMinimum_.All(); }
    const StateArray& PreviousMinimum() const { return previousMinimum_.All(); }
    const StateArray& AdaptStep() const { return adaptStep_.All(); }
    const StateArray& CapturedNoise() const { return capturedNoise_.All(); }
    const StateArray& NoiseEstimate() const { return noiseEstimate_.All(); }
    const StateArray& BiasedNoise() const { return biasedNoise_; }
    const StateArray& BinRatio() const { return binRatio_.All(); }
    const StateArray& PreviousRatio() const { return previousRatio_.All(); }
    const StateArray& BinGain() const { return binGain_.All(); }
    const AdaptiveDenoiser& Adaptive() const { return adaptive_; }

    // Smoothed powers of bins 0 and 1 behind the DC meter; the meter update writes them.
    float DcPowerAverage() const { return dcPowerAverage_; }
    float Bin1PowerAverage() const { return bin1PowerAverage_; }
    void SetMeterAverages(float dcPower, float bin1Power) {
        dcPowerAverage_ = dcPower;
        bin1PowerAverage_ = bin1Power;
    }

private:
    // Copies the learnt noise state out and back in (a host's session keeps it).
    friend class LearntNoise;

    void PrepareRun(bool keepEstimate);
    // The adaptive method's frames and time constants for the channel count and rate.
    void ConfigureAdaptive();
    // Block step 3 for one channel: moves its history and accumulator on by one block and
    // appends its samples of the interleaved `block`.
    void ShiftChannel(int channel, const int16_t* block);
    // One channel of the current block as blockPlan_ says, from the analysis to the overlap-add
    // into its accumulator, on the FFT buffers and scratch of `lane` (one lane per thread that
    // runs channels); useCapture: a capture is held and "Capture minima" is on.
    void RunChannel(int channel, int lane, bool useCapture);
    void RunChannelOnItsLane(int channel);
    // One channel of stereo through the blocks of a ProcessBlocks call, on its own lane.
    void RunChannelBlocks(int channel);
    // Runs `run` for channel 0 on the calling thread and for channel 1 on the channel thread.
    void RunOnBothThreads(void (SpectralEngine::*run)(int channel));
    static void RunSecondChannel(void* engine);
    // ProcessBlock into `output`, from the history as ShiftHistory or ShiftChannel left it.
    void RunBlock(bool process, int16_t* output);
    // The windowed frame goes to the FFT input for the spectral stage, else straight to the
    // frame that the overlap-add takes.
    void AnalyseChannel(int channel, int lane, bool spectral);
    // useCapture: a capture is held and "Capture minima" is on.
    void SpectralStage(int channel, int lane, bool useCapture);
    // Step back from the unnormalised inverse transform to sample units in the channel's frame.
    void ScaleInverse(int channel, int lane);
    void TrackNoise(int channel, int lane, bool useCapture);
    void ComputeGains(int channel, int lane);
    void BuildSynthesisGains(int channel, int lane);
    // Trackers and estimates of the odd bins from their neighbourhood minima, which are already
    // in LocalMinimum; useCapture: a capture is held and "Capture minima" is on.
    void UpdateTrackers(int channel, bool useCapture);
    // Adds the channel's frame into its accumulator.
    void OverlapAddChannel(int channel);
    // The oldest block of the accumulators, the channels interleaved.
    void TakeOutputBlock(int16_t* output) const;
    // The same from the adaptive method's framing.
    void TakeFramedOutput(int16_t* output) const;
    void UpdateCapture();
    // UpdateCapture for one channel, from the capture state before the block to captureMinima.
    void UpdateChannelCapture(int channel, bool wasActive, bool captureMinima);

    ProcessingOptions& options_;
    FftwInterface fft_;
    DcOffsetFilter dcFilter_;
    AdaptiveDenoiser adaptive_;
    AdaptiveFraming framing_;
    int channels_ = 0;
    int sampleRate_ = AdaptiveDenoiser::kDefaultSampleRate;
    int frameLength_ = 0;
    bool engineReady_ = false;
    bool learning_ = false;
    bool captureActive_ = false;
    std::unique_ptr<ChannelWorker> channelWorker_;

    // What ProcessBlock decided for the current block, read by both channels' threads.
    struct BlockPlan {
        bool spectral = false;
        bool adaptive = false;
        // The adaptive method is chosen, so its framing gives the output, processed or not.
        bool adaptiveOutput = false;
        // A capture is held and "Capture minima" is on, read once for both channels.
        bool useCapture = false;
        AdaptiveDenoiser::FrameSettings settings;
    };
    BlockPlan blockPlan_;
    // What ProcessBlocks hands to both channels' threads.
    struct BatchPlan {
        const int16_t* input = nullptr;
        int count = 0;
        bool captureMinima = false;
    };
    BatchPlan batchPlan_;
    // What RunOnBothThreads hands to the channel thread.
    void (SpectralEngine::*splitRun_)(int channel) = nullptr;

    Block inputBlock_{};
    // Each channel's samples of the current frame and its overlap-add sums (16-bit samples in
    // 32-bit entries), on cache lines of its own: the first FrameLength entries, the newest
    // block in the upper half.
    struct alignas(64) ChannelFrames {
        std::array<int16_t, kFftSize> history{};
        std::array<int32_t, kFftSize> accumulator{};
    };
    std::array<ChannelFrames, kMaxChannels> channelFrames_{};
    Block outputBlock_{};
    // Each channel's samples of the current block from the adaptive method's framing.
    std::array<std::array<int16_t, kBlockSamples>, kMaxChannels> framedOutput_{};
    std::array<float, kFftSize> analysisWindow_{};
    std::array<float, 3> smoothingKernel_{};
    // The analysis window in double, as the overlap-add uses it.
    std::array<double, kFftSize> overlapWindow_{};

    alignas(64) StateArray binPower_{};
    OddStateArray smoothedPower_;
    OddStateArray noiseTracker_;
    OddStateArray localMinimum_;
    OddStateArray previousMinimum_;
    OddStateArray adaptStep_;
    OddStateArray capturedNoise_;
    OddStateArray noiseEstimate_;
    alignas(64) StateArray biasedNoise_{};
    OddStateArray binRatio_;
    OddStateArray previousRatio_;
    OddStateArray binGain_;

    float dcPowerAverage_ = 0.0f;
    float bin1PowerAverage_ = 0.0f;

    // Frame-local scratch, kept here so that a block never allocates.
    // The frames to overlap-add, channel c's from c * FrameLength on (sample units).
    alignas(64) std::array<int32_t, kFftSize> frames_{};
    static constexpr int kOddBins = kBins / 2;
    static constexpr int kMinimumPad = 4;  // odd bins on each side: 8 bins
    // The scratch of one thread's channel: a lane, like the FFT's.
    struct alignas(64) LaneScratch {
        // Powers of the odd bins packed together, behind a 0 for the bin before bin 1.
        std::array<float, kBins / 2 + 1> power{};
        std::array<float, kBins> synthesisGain{};
        // Smoothed power of the odd bins packed together, before and after this frame's update,
        // with pads on both sides so that the neighbourhood minimum needs no edge cases.
        std::array<float, kOddBins + 2 * kMinimumPad> oddSmoothed{};
        std::array<float, kOddBins + 2 * kMinimumPad> oddPreviousSmoothed{};
        AdaptiveDenoiser::Scratch adaptive;
        // During ProcessBlocks: this lane's channel's output samples.
        std::array<int16_t, kMaxBatchBlocks * kBlockSamples / 2> output{};
    };
    std::array<LaneScratch, FftwInterface::kLanes> lanes_{};
};

}  // namespace murmex
