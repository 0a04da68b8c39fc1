#pragma once
// The input of fuzz_noise_print, which its seed generator writes too: a settings byte, then
// either the bytes of a noise print as they are or patches over a valid one. A stored noise
// print is larger than a fuzz input may be, so patches reach every part of it: each writes one
// 4-byte value a number of times, 4 bytes apart, from an offset on.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace murmex::fuzz {

// Bits of the settings byte.
inline constexpr uint8_t kPrintAdaptive = 1;
inline constexpr uint8_t kPrintStereo = 2;
inline constexpr uint8_t kPrintStopEstimation = 4;
inline constexpr uint8_t kPrintCaptureMinima = 8;
inline constexpr uint8_t kPrintDetail = 16;
inline constexpr uint8_t kPrintRawBytes = 32;  // the rest of the input is the noise print itself

// A patch: the offset in 3 bytes (little-endian, taken modulo the print's size), the number of
// writes less one, the value's 4 bytes.
inline constexpr std::size_t kPatchBytes = 8;

inline void AppendPatch(std::vector<uint8_t>& input, std::size_t offset, int writes, float value) {
    const uint8_t patch[4] = {static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8),
                              static_cast<uint8_t>(offset >> 16), static_cast<uint8_t>(std::clamp(writes, 1, 256) - 1)};
    input.insert(input.end(), patch, patch + 4);
    uint8_t bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    input.insert(input.end(), bytes, bytes + 4);
}

// Applies every whole patch of `patches` to `print`; writes past its end are dropped.
inline void ApplyPatches(std::span<const uint8_t> patches, std::vector<uint8_t>& print) {
    for (std::size_t p = 0; p + kPatchBytes <= patches.size(); p += kPatchBytes) {
        const uint8_t* patch = patches.data() + p;
        std::size_t at = (patch[0] | patch[1] << 8 | patch[2] << 16) % print.size();
        for (int i = 0; i <= patch[3] && at + 4 <= print.size(); ++i, at += 4) std::memcpy(&print[at], patch + 4, 4);
    }
}

}  // namespace murmex::fuzz
