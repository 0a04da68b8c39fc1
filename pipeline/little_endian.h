#pragma once

#include <cstdint>

namespace murmex {

inline void PutLe16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

inline void PutLe32(uint8_t* at, uint32_t value) {
    PutLe16(at, value & 0xFFFF);
    PutLe16(at + 2, value >> 16);
}

inline uint16_t GetLe16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

inline uint32_t GetLe32(const uint8_t* at) {
    return static_cast<uint32_t>(GetLe16(at)) | (static_cast<uint32_t>(GetLe16(at + 2)) << 16);
}

}  // namespace murmex
