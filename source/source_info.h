#pragma once
// The loaded source. Only a load that succeeds replaces it; LastDirectory follows every load.
#include <algorithm>
#include <cstdint>
#include <string>

#include "pipeline/file_state.h"

namespace murmex {

struct SourceInfo {
  std::string SourcePath;     // full path of the chosen file (UTF-8)
  std::string Extension;      // its extension with the dot, upper-cased (".MP3")
  std::string LastDirectory;  // folder of the last chosen file; the open dialog starts there
  int64_t SampleRate = 0;
  int64_t Channels = 0;
  int64_t BitsPerSample = 0;  // 8 when the decoder flags 8-bit samples, otherwise 16
  int64_t LengthBytes = 0;    // decoded length in bytes; -1 when the decoder cannot tell
  int32_t Kbps = 0;           // bitrate of the info line; 0 when it cannot be told
  float ProgressFactor = 0;   // byte position to progress units (0..1000)
  float SeekFactor = 0;       // progress units to byte position
  FileState FileAtLoad;       // the source file as the load found it, before decoding it

  // Bytes of one sample frame of the decoded audio.
  int64_t FrameBytes() const { return Channels * std::max<int64_t>(BitsPerSample / 8, 1); }
  // Seconds of decoded audio in `bytes`; 0 while the rate or the channels are unknown.
  double Seconds(int64_t bytes) const {
    const int64_t bytesPerSecond = SampleRate * FrameBytes();
    return bytesPerSecond > 0 ? static_cast<double>(bytes) / static_cast<double>(bytesPerSecond) : 0.0;
  }
};

}  // namespace murmex
