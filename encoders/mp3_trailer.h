#pragma once

#include <array>
#include <cstdint>

#include "tags/au_tags.h"

namespace murmex {

// The 128-byte ID3v1-format trailer the MP3 writer ends its file with: "TAG", then title,
// artist, album (30 bytes each, Windows-1252, cut without a terminator), the year when it is
// exactly four digits, the comment; genre and track stay 0.
std::array<uint8_t, 128> BuildMp3Trailer(const TId3v1Tags& tags);

}  // namespace murmex
