#pragma once

// The constant bitrate an MP3 file is really written at. MPEG-1 layer III (32, 44.1 and 48 kHz)
// holds up to 320 kbps, MPEG-2 (16 to 24 kHz) up to 160, and the encoder takes MPEG-2.5 (8 to
// 12 kHz) up to 64; it quietly lowers a higher choice to that. The window's hint and the command line's output both say so
// from here.

#include <cstdint>
#include <optional>
#include <string>

namespace murmex {

// The highest constant bitrate, in kbit/s, of the MPEG rate a source at `sampleRate` is encoded at.
uint32_t Mp3MaxKbps(uint32_t sampleRate);

// `requestedKbps` as the file will have it: no more than Mp3MaxKbps.
uint32_t Mp3EffectiveKbps(uint32_t requestedKbps, uint32_t sampleRate);

// When the choice is lowered: "320 kbps is written as 160 kbps: MP3 at 22050 Hz holds at most
// 160 kbps". Nothing when the file gets what was chosen.
std::optional<std::string> Mp3BitrateLimitNote(uint32_t requestedKbps, uint32_t sampleRate);

}  // namespace murmex
