#include "tests/fuzz/ogg_checksums.h"

#include <array>
#include <cstring>

namespace murmex::fuzz {
namespace {

constexpr std::size_t kHeaderBytes = 27;   // up to and including the segment count
constexpr std::size_t kChecksumAt = 22;

// The Ogg CRC: polynomial 0x04C11DB7, most significant bit first, no reflection, start 0.
const std::array<uint32_t, 256>& CrcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit) r = r & 0x80000000u ? (r << 1) ^ 0x04C11DB7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    return table;
}

uint32_t PageCrc(const uint8_t* page, std::size_t length) {
    uint32_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) crc = (crc << 8) ^ CrcTable()[((crc >> 24) ^ page[i]) & 0xFF];
    return crc;
}

}  // namespace

void RepairOggChecksums(std::vector<uint8_t>& bytes) {
    std::size_t at = 0;
    while (at + kHeaderBytes <= bytes.size()) {
        if (std::memcmp(bytes.data() + at, "OggS", 4) != 0) {
            ++at;
            continue;
        }
        const std::size_t segments = bytes[at + kHeaderBytes - 1];
        if (at + kHeaderBytes + segments > bytes.size()) return;
        std::size_t length = kHeaderBytes + segments;
        for (std::size_t s = 0; s < segments; ++s) length += bytes[at + kHeaderBytes + s];
        if (at + length > bytes.size()) return;
        std::memset(bytes.data() + at + kChecksumAt, 0, 4);
        const uint32_t crc = PageCrc(bytes.data() + at, length);
        for (int b = 0; b < 4; ++b) bytes[at + kChecksumAt + b] = static_cast<uint8_t>(crc >> (8 * b));
        at += length;
    }
}

}  // namespace murmex::fuzz
