#pragma once

#include <cmath>
#include <cstdint>

namespace murmex {

// Float-to-integer conversions that are defined for every input, so that an overflowed or
// not-a-number intermediate can never turn into a full-scale click.

inline constexpr double kSampleMin = -32768.0;
inline constexpr double kSampleMax = 32767.0;

// Rounds towards zero and saturates; NaN becomes 0.
inline int64_t TruncToInt64(double value) {
    constexpr double kLimit = 9.2233720368547748e18;  // 2^63, the first value out of range
    if (std::isnan(value)) return 0;
    if (value >= kLimit) return INT64_MAX;
    if (value <= -kLimit) return INT64_MIN;
    return static_cast<int64_t>(value);
}

// Rounds towards zero into the 16-bit sample range; NaN becomes 0.
inline int16_t TruncToSample(double value) {
    if (std::isnan(value)) return 0;
    if (value <= kSampleMin) return INT16_MIN;
    if (value >= kSampleMax) return INT16_MAX;
    return static_cast<int16_t>(value);
}

// Rounds to nearest (ties to even) into the 16-bit sample range; NaN becomes 0.
inline int16_t RoundToSample(double value) {
    if (std::isnan(value)) return 0;
    if (value <= kSampleMin) return INT16_MIN;
    if (value >= kSampleMax) return INT16_MAX;
    return static_cast<int16_t>(std::nearbyint(value));
}

}  // namespace murmex
