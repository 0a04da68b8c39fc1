#include "encoders/mp3_bitrate_limit.h"

#include <algorithm>

#include "encoders/mp3_config.h"

namespace murmex {

namespace {
constexpr uint32_t kMpeg1MaxKbps = 320;
constexpr uint32_t kMpeg2MaxKbps = 160;
constexpr uint32_t kMpeg25MaxKbps = 64;  // LAME's own limit for 8 to 12 kHz
constexpr uint32_t kLowestMpeg1Rate = 32000;
constexpr uint32_t kLowestMpeg2Rate = 16000;
}  // namespace

uint32_t Mp3MaxKbps(uint32_t sampleRate) {
  // A rate MPEG audio cannot hold is resampled to its nearest one before encoding.
  const uint32_t resampled = Mp3ResampleRate(sampleRate);
  const uint32_t encoded = resampled != 0 ? resampled : sampleRate;
  if (encoded >= kLowestMpeg1Rate) return kMpeg1MaxKbps;
  return encoded >= kLowestMpeg2Rate ? kMpeg2MaxKbps : kMpeg25MaxKbps;
}

uint32_t Mp3EffectiveKbps(uint32_t requestedKbps, uint32_t sampleRate) {
  return std::min(requestedKbps, Mp3MaxKbps(sampleRate));
}

std::optional<std::string> Mp3BitrateLimitNote(uint32_t requestedKbps, uint32_t sampleRate) {
  const uint32_t written = Mp3EffectiveKbps(requestedKbps, sampleRate);
  if (written == requestedKbps) return std::nullopt;
  return std::to_string(requestedKbps) + " kbps is written as " + std::to_string(written) + " kbps: MP3 at " +
         std::to_string(sampleRate) + " Hz holds at most " + std::to_string(written) + " kbps";
}

}  // namespace murmex
