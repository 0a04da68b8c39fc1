#pragma once

#include <cstdint>

#include "engine/learnt_noise.h"
#include "engine/processing_options.h"
#include "engine/spectral_engine.h"

namespace murmex {

// The engine behind a real-time host: takes float samples in whatever block size the host
// calls with, gathers them into the engine's fixed 1024-sample blocks and hands back the
// processed audio a fixed delay later: one engine block to gather a block, and the blocks the
// engine itself lags by with the method chosen (one, or more for the adaptive method at high rates).
//
// Construction and destruction make and release FFT plans; they are serialised process-wide
// (see fft_planning.h) and belong to the host's instantiation thread. Process never allocates,
// locks or waits.
class LiveDenoiser {
public:
    // channels 1 or 2; the sample rate sets the adaptive method's time constants.
    LiveDenoiser(int channels, double sampleRate);
    ~LiveDenoiser();
    LiveDenoiser(const LiveDenoiser&) = delete;
    LiveDenoiser& operator=(const LiveDenoiser&) = delete;

    // Frames by which the output lags the input.
    int LatencyFrames() const { return blockFrames_ + engine_.LatencyFrames(); }
    int Channels() const { return engine_.Channels(); }
    ProcessingOptions& Options() { return options_; }

    // Starts a fresh run, as from silence: the first LatencyFrames of output hold none of the
    // new input; the noise estimate is learnt afresh unless "Stop noise estimation" is on. A run
    // that has not processed anything yet (after construction or RestoreNoise) is kept as it is,
    // since hosts restore a session before they activate the plugin.
    void Restart();
    // in[c] and out[c] hold `frames` samples of channel c; an output may be its own input.
    // process false is the engine's bypass path, with the same delay.
    void Process(const float* const* in, float* const* out, uint32_t frames, bool process);

    // The learnt noise, taken at an engine block boundary.
    void CaptureNoise(LearntNoise& noise) const { noise.Capture(engine_); }
    // Starts a fresh run from a stored noise print; false (and nothing changed) when it was
    // learnt with another channel count.
    bool RestoreNoise(const LearntNoise& noise);

private:
    void ProcessEngineBlock(bool process);

    ProcessingOptions options_;
    SpectralEngine engine_;
    int blockFrames_ = 0;
    int position_ = 0;  // frames of the current block gathered so far
    bool fresh_ = true;  // no frame processed since the run started
};

}  // namespace murmex
