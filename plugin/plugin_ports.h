#pragma once

#include <cstdint>

#include "engine/processing_options.h"

namespace murmex {

// The plugins' URIs and port indices, as murmex.ttl declares them.
inline constexpr const char* kMonoPluginUri = "urn:murmex:lv2:mono";
inline constexpr const char* kStereoPluginUri = "urn:murmex:lv2:stereo";
// State key of the learnt noise print (an atom:Chunk, see LearntNoise::Encode).
inline constexpr const char* kNoisePrintUri = "urn:murmex:lv2:noise-print";

enum PortIndex : uint32_t {
    kPortBias = 0,          // "Noise bias level", dB -20..20
    kPortReduction,         // "Reduction level", 100..1100
    kPortApply,             // "Apply noise reduction" (off: bypass, same delay)
    kPortMethod,            // MethodPosition: 0 classic, 1 adaptive
    kPortDcOffset,          // "DC offset correction"
    kPortDetail,            // "Fourier detail amplifier"
    kPortStopEstimation,    // "Stop noise estimation"
    kPortCaptureMinima,     // "Capture minima"
    kPortLatency,           // output: delay in frames
    kFirstAudioPort,        // the inputs, then the outputs, one per channel
};

inline constexpr uint32_t kControlPorts = kFirstAudioPort;

// The Method port's positions. Hosts store them in their sessions, so they are never renumbered:
// a session that stored Classic (0) keeps Classic whatever the default becomes. murmex.ttl's
// lv2:default for the port is MethodPosition(kDefaultMethod).
constexpr int MethodPosition(NoiseReductionMethod method) { return method == NoiseReductionMethod::Adaptive ? 1 : 0; }
constexpr NoiseReductionMethod MethodAtPosition(int position) {
    return position == 1 ? NoiseReductionMethod::Adaptive : NoiseReductionMethod::Classic;
}

}  // namespace murmex
