#pragma once
// What loading a source changes in the output settings: the default bitrates derived from the
// source's own bitrate, and the WAV bitrate text. The export's output settings implement it.
#include <cstdint>

namespace murmex {

class OutputDefaults {
 public:
  virtual ~OutputDefaults() = default;
  // Sets Mp3Kbps, OggKbps and WmaKbps to SnapBitrate(kbps).
  virtual void ApplySourceKbps(int kbps) = 0;
  // Recomputes the WAV bitrate text from the loaded source (16 bits per sample always).
  virtual void UpdateWavKbps(int64_t sampleRate, int64_t channels) = 0;
};

}  // namespace murmex
