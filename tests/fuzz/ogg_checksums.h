#pragma once
// Ogg pages carry a CRC of their bytes, so nearly every mutated page would be dropped before a
// Vorbis header in it is even looked at. The Ogg fuzz targets set the CRCs right first.
#include <cstdint>
#include <vector>

namespace murmex::fuzz {

// Recomputes the checksum of every whole page ("OggS" header, segment table, body) in place.
void RepairOggChecksums(std::vector<uint8_t>& bytes);

}  // namespace murmex::fuzz
