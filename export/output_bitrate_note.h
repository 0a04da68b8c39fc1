#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "export/output_settings.h"

namespace murmex {

// What to tell the user when the current output choice cannot be written as chosen from a
// source at `sampleRate` (a constant MP3 bitrate above what MP3 holds at that rate); nothing
// when the file gets what the settings say, or before a source is known (rate 0).
std::optional<std::string> OutputBitrateNote(const OutputSettings& settings, int64_t sampleRate);

}  // namespace murmex
