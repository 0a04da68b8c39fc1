#include "export/output_bitrate_note.h"

#include "encoders/mp3_bitrate_limit.h"

namespace murmex {

std::optional<std::string> OutputBitrateNote(const OutputSettings& settings, int64_t sampleRate) {
  if (settings.FormatExtension() != "mp3" || settings.vbr_check() || sampleRate <= 0) return std::nullopt;
  // The kbps texts only ever hold values of the bitrate list.
  return Mp3BitrateLimitNote(static_cast<uint32_t>(std::stoul(settings.Mp3Kbps())), static_cast<uint32_t>(sampleRate));
}

}  // namespace murmex
