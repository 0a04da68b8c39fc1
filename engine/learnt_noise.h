#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/spectral_engine.h"

namespace murmex {

// What an engine has learnt about the noise: everything a run that keeps its noise estimate
// (PrepareEngineKeepingNoise) starts from, for both methods. Taken from one engine and restored
// into another of the same channel count, the second continues exactly as the first would after
// PrepareEngineKeepingNoise, so a noise print can be stored with a host's session.
class LearntNoise {
public:
    // Copies the learnt state out of `engine`. Allocates nothing once constructed.
    void Capture(const SpectralEngine& engine);
    // Puts the learnt state into `engine` (same channel count as captured) and starts a run that
    // keeps it. The engine keeps its own tables and the adaptive method's time constants, those
    // of its own rate; the adaptive estimate is taken only where the engine's frames have as
    // many bins as those it was learnt in.
    void Restore(SpectralEngine& engine) const;

    int Channels() const { return channels_; }

    // Byte form for storage: a tag, a version, the channel count and the size of each part, then
    // the parts in host byte order. Decode refuses (false, nothing changed) bytes of another
    // layout or channel count, and bytes with any value outside the range CheckedValues gives
    // it: a damaged or hostile session must not take either method where no run can go.
    std::vector<uint8_t> Encode() const;
    bool Decode(std::span<const uint8_t> bytes);

    // A run of values in the byte form and the range the methods keep them in. The tables of
    // the adaptive method (its gain table and time constants, from its set-up) are not stored:
    // the engine builds its own.
    struct StoredValues {
        enum class Kind { Number, Count };  // float, 32-bit integer
        const char* name;
        size_t offset;  // of the first value from the start of the bytes
        size_t count;
        Kind kind;
        double lowest;
        double highest;
    };
    static std::span<const StoredValues> CheckedValues();

private:
    // The classic method's arrays a run that keeps its noise starts from, in their stored order
    // (noise estimate, biased noise, local minimum, tracker, previous minimum, captured noise),
    // each in the engine's full layout.
    static constexpr int kKeptArrays = 6;
    static constexpr int kBiasedNoise = 1;
    static constexpr int kKeptOddArrays = 5;
    static constexpr std::array<int, kKeptOddArrays> kStoredOddArrays{0, 2, 3, 4, 5};
    static const std::array<SpectralEngine::OddStateArray SpectralEngine::*, kKeptOddArrays> kEngineOddArrays;
    // The adaptive method's arrays a run that keeps its noise starts from, where its stored
    // state holds them, and the largest value each can take (none is negative).
    struct AdaptiveArray {
        AdaptiveDenoiser::BinArray AdaptiveDenoiser::*member;
        const char* name;
        float highest;
    };
    static constexpr int kKeptAdaptiveArrays = 6;
    static const std::array<AdaptiveArray, kKeptAdaptiveArrays> kAdaptiveArrays;

    int channels_ = 0;
    std::array<SpectralEngine::StateArray, kKeptArrays> arrays_{};
    bool captureActive_ = false;
    AdaptiveDenoiser adaptive_;
};

}  // namespace murmex
