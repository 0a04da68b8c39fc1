#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/processing_options.h"
#include "lilv_host.h"

namespace murmex::test {

inline constexpr double kTestRate = 44100.0;

// Frames per engine block for a channel count.
inline int BlockFrames(int channels) { return 1024 / channels; }

// Interleaved speech-like test audio: tones coming and going over steady noise, the channels
// different; `seed` varies the noise.
std::vector<int16_t> TestSignal(int channels, size_t frames, unsigned seed);

// A control port value as the plugin reads it, applied to engine options; `process` receives
// "Apply noise reduction".
void ApplyControl(uint32_t port, float value, ProcessingOptions& options, bool& process);

// What the engine's block contract gives for `input` (zero-padded to whole blocks), set up as
// the plugin sets it up: each change applied before the first block that completes at or after
// its frame. The concatenated output blocks, one block behind the input.
std::vector<int16_t> EngineOutput(int channels, const std::vector<int16_t>& input,
                                  const std::vector<ControlChange>& changes);
// The same after the engine has run through `learn` and started a run that keeps its noise.
std::vector<int16_t> EngineOutputAfterLearning(int channels, const std::vector<int16_t>& learn,
                                               const std::vector<ControlChange>& learnChanges,
                                               const std::vector<int16_t>& input,
                                               const std::vector<ControlChange>& changes);

// The number of samples where the plugin's output, one block of silence and then the engine's
// output, differs from what it should be; the first such sample is described in `where`.
size_t CountMismatches(const std::vector<float>& plugin, const std::vector<int16_t>& engine, int channels,
                       std::string& where);

// 32-bit float WAV files, the form lv2apply keeps samples exact in.
void WriteFloatWav(const std::string& path, const std::vector<int16_t>& interleaved, int channels, int rate);
std::vector<float> ReadFloatWav(const std::string& path);

}  // namespace murmex::test
