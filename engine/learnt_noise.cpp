#include "engine/learnt_noise.h"

#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>

#include "engine/processing_options.h"

namespace murmex {

namespace {

// A print keeps a copy of the adaptive method's state, which must be nothing but values.
static_assert(std::is_trivially_copyable_v<AdaptiveDenoiser>);

constexpr char kTag[4] = {'M', 'M', 'X', 'N'};
// Version 1 held the adaptive state of the engine's fixed frames; its classic part is still read.
constexpr uint32_t kFixedFrameVersion = 1;
constexpr uint32_t kVersion = 2;

struct Header {
    char tag[4];
    uint32_t version;
    uint32_t channels;
    uint32_t stateBytes;
    uint32_t adaptiveBytes;
    uint32_t captureActive;
};

using StateArray = SpectralEngine::StateArray;

// The stored layout: the classic method's arrays, as sessions saved by earlier versions have
// them, each as its channel slots of kBins values one after another; then the adaptive method's
// frame count, the bins of its frames and its kept arrays, each as two channel slots of kMaxBins
// values (the bins a frame does not have are zeros).
constexpr size_t kStoredSlotBytes = SpectralEngine::kBins * sizeof(float);
constexpr size_t kStoredStateBytes = SpectralEngine::kChannelSlots * kStoredSlotBytes;
constexpr size_t kAdaptiveSlotValues = AdaptiveDenoiser::kMaxBins;
constexpr size_t kAdaptiveArrayValues = AdaptiveDenoiser::kMaxChannels * kAdaptiveSlotValues;
constexpr size_t kAdaptiveFramesOffset = 0;
constexpr size_t kAdaptiveBinsOffset = 4;
constexpr size_t kAdaptiveArraysOffset = 8;
constexpr size_t kStoredAdaptiveBytes = kAdaptiveArraysOffset + 6 * kAdaptiveArrayValues * sizeof(float);
constexpr size_t kClassicEnd = sizeof(Header) + 6 * kStoredStateBytes;

constexpr float kLargestPower = SpectralEngine::kLargestBinPower;

// The classic method's kept arrays in their stored order.
constexpr std::array<const char*, 6> kClassicArrayNames{"noise estimate", "biased noise",     "local minimum",
                                                       "noise tracker",  "previous minimum", "captured noise"};

// True when every value of `run` lies within its range (a NaN lies within none).
bool WithinRange(const uint8_t* bytes, const LearntNoise::StoredValues& run) {
    using Kind = LearntNoise::StoredValues::Kind;
    for (size_t i = 0; i < run.count; ++i) {
        const uint8_t* at = bytes + run.offset + i * 4;
        double value;
        if (run.kind == Kind::Number) {
            float number;
            std::memcpy(&number, at, sizeof number);
            value = number;
        } else {
            int32_t count;
            std::memcpy(&count, at, sizeof count);
            value = count;
        }
        if (!(value >= run.lowest && value <= run.highest)) return false;
    }
    return true;
}

}  // namespace

const std::array<LearntNoise::AdaptiveArray, LearntNoise::kKeptAdaptiveArrays> LearntNoise::kAdaptiveArrays{{
    {&AdaptiveDenoiser::noise_, "adaptive noise power", kLargestPower},
    {&AdaptiveDenoiser::gainNoise_, "adaptive gain noise", kLargestPower},
    {&AdaptiveDenoiser::smoothedPower_, "adaptive smoothed power", kLargestPower},
    {&AdaptiveDenoiser::smoothedSquare_, "adaptive smoothed square", 2.0f * kLargestPower * kLargestPower},
    {&AdaptiveDenoiser::presence_, "adaptive presence", 1.0f},
    {&AdaptiveDenoiser::warmMinimum_, "adaptive warm-up minimum", AdaptiveDenoiser::kMinimumSearchStart},
}};

// Where the ranges come from: no bin's power exceeds kLargestBinPower, and every array holds
// powers, their averages or minima (the adaptive averages start at the first frame's power and
// twice its square), or 0 before a run has learnt anything; the biased noise is the estimate
// scaled by "Noise bias level". The adaptive frame count stops at the warm-up's end, which
// depends on the sample rate, so only its sign is known; a frame's bins are one more than a
// power of two (Decode checks that as well).
std::span<const LearntNoise::StoredValues> LearntNoise::CheckedValues() {
    using Kind = StoredValues::Kind;
    static_assert(kClassicArrayNames.size() == kKeptArrays);
    constexpr size_t kArrays = kKeptArrays + 2 + kKeptAdaptiveArrays;
    static const std::array<StoredValues, kArrays> runs = [] {
        std::array<StoredValues, kArrays> all{};
        const size_t classicValues = SpectralEngine::kChannelSlots * SpectralEngine::kBins;
        for (int i = 0; i < kKeptArrays; ++i) {
            const double scale = i == kBiasedNoise ? BiasFactorFor(kBiasMaxPosition) : 1.0;
            all[i] = {kClassicArrayNames[i], sizeof(Header) + i * kStoredStateBytes, classicValues, Kind::Number, 0.0,
                      kLargestPower * scale};
        }
        all[kKeptArrays] = {"adaptive frame count", kClassicEnd + kAdaptiveFramesOffset, 1, Kind::Count, 0.0,
                            std::numeric_limits<int32_t>::max()};
        all[kKeptArrays + 1] = {"adaptive frame bins", kClassicEnd + kAdaptiveBinsOffset, 1, Kind::Count,
                                AdaptiveFraming::kShortestFrame / 2 + 1, AdaptiveDenoiser::kMaxBins};
        for (int i = 0; i < kKeptAdaptiveArrays; ++i) {
            const AdaptiveArray& array = kAdaptiveArrays[i];
            all[kKeptArrays + 2 + i] = {array.name,
                                        kClassicEnd + kAdaptiveArraysOffset + i * kAdaptiveArrayValues * sizeof(float),
                                        kAdaptiveArrayValues, Kind::Number, 0.0, array.highest};
        }
        return all;
    }();
    return runs;
}

const std::array<SpectralEngine::OddStateArray SpectralEngine::*, LearntNoise::kKeptOddArrays>
    LearntNoise::kEngineOddArrays{&SpectralEngine::noiseEstimate_, &SpectralEngine::localMinimum_,
                                  &SpectralEngine::noiseTracker_, &SpectralEngine::previousMinimum_,
                                  &SpectralEngine::capturedNoise_};

void LearntNoise::Capture(const SpectralEngine& engine) {
    channels_ = engine.channels_;
    arrays_[kBiasedNoise] = engine.biasedNoise_;
    for (int i = 0; i < kKeptOddArrays; ++i) arrays_[kStoredOddArrays[i]] = (engine.*kEngineOddArrays[i]).All();
    captureActive_ = engine.captureActive_;
    adaptive_ = engine.adaptive_;
}

void LearntNoise::Restore(SpectralEngine& engine) const {
    engine.biasedNoise_ = arrays_[kBiasedNoise];
    for (int i = 0; i < kKeptOddArrays; ++i) (engine.*kEngineOddArrays[i]).Assign(arrays_[kStoredOddArrays[i]]);
    engine.captureActive_ = captureActive_;
    // The adaptive estimate holds for frames of the size it was learnt with; for others (the
    // print came from another sample rate) the tracker starts afresh.
    AdaptiveDenoiser& adaptive = engine.adaptive_;
    if (adaptive_.bins_ == adaptive.bins_) {
        for (const AdaptiveArray& array : kAdaptiveArrays) adaptive.*array.member = adaptive_.*array.member;
        adaptive.framesSinceReset_ = adaptive_.framesSinceReset_;
    } else {
        adaptive.framesSinceReset_.fill(0);
    }
    engine.PrepareEngineKeepingNoise();
}

std::vector<uint8_t> LearntNoise::Encode() const {
    Header header{};
    std::memcpy(header.tag, kTag, sizeof kTag);
    header.version = kVersion;
    header.channels = static_cast<uint32_t>(channels_);
    header.stateBytes = kStoredStateBytes;
    header.adaptiveBytes = kStoredAdaptiveBytes;
    header.captureActive = captureActive_ ? 1 : 0;

    std::vector<uint8_t> bytes(sizeof header + kKeptArrays * kStoredStateBytes + kStoredAdaptiveBytes);
    uint8_t* at = bytes.data();
    auto put = [&at](const void* part, size_t size) {
        std::memcpy(at, part, size);
        at += size;
    };
    put(&header, sizeof header);
    for (const StateArray& array : arrays_) {
        for (int slot = 0; slot < SpectralEngine::kChannelSlots; ++slot) {
            put(array.data() + slot * SpectralEngine::kChannelStride, kStoredSlotBytes);
        }
    }
    const int32_t frames = adaptive_.framesSinceReset_[0];
    const int32_t bins = adaptive_.bins_;
    put(&frames, sizeof frames);
    put(&bins, sizeof bins);
    for (const AdaptiveArray& array : kAdaptiveArrays) {
        for (int slot = 0; slot < AdaptiveDenoiser::kMaxChannels; ++slot) {
            put((adaptive_.*array.member).data() + slot * AdaptiveDenoiser::kBinStride, kAdaptiveSlotValues * sizeof(float));
        }
    }
    return bytes;
}

bool LearntNoise::Decode(std::span<const uint8_t> bytes) {
    Header header{};
    if (bytes.size() < sizeof header) return false;
    std::memcpy(&header, bytes.data(), sizeof header);
    // A print of the fixed-frame version gives its classic part; its adaptive state, learnt in
    // frames the method no longer uses, is dropped.
    const bool fixedFrames = header.version == kFixedFrameVersion;
    const size_t adaptiveBytes = fixedFrames ? header.adaptiveBytes : kStoredAdaptiveBytes;
    if (std::memcmp(header.tag, kTag, sizeof kTag) != 0 || (header.version != kVersion && !fixedFrames) ||
        header.stateBytes != kStoredStateBytes || header.adaptiveBytes != adaptiveBytes ||
        bytes.size() != kClassicEnd + adaptiveBytes || header.channels < 1 ||
        header.channels > SpectralEngine::kMaxChannels || header.captureActive > 1) {
        return false;
    }
    const auto runs = CheckedValues();
    for (const StoredValues& run : fixedFrames ? runs.first(kKeptArrays) : runs) {
        if (!WithinRange(bytes.data(), run)) return false;
    }
    int32_t frames = 0;
    int32_t bins = 0;
    if (!fixedFrames) {
        std::memcpy(&frames, bytes.data() + kClassicEnd + kAdaptiveFramesOffset, sizeof frames);
        std::memcpy(&bins, bytes.data() + kClassicEnd + kAdaptiveBinsOffset, sizeof bins);
        if (!std::has_single_bit(static_cast<uint32_t>(bins - 1))) return false;
    }
    const uint8_t* at = bytes.data() + sizeof header;
    auto take = [&at](void* part, size_t size) {
        std::memcpy(part, at, size);
        at += size;
    };
    channels_ = static_cast<int>(header.channels);
    captureActive_ = header.captureActive == 1;
    for (StateArray& array : arrays_) {
        array.fill(0.0f);
        for (int slot = 0; slot < SpectralEngine::kChannelSlots; ++slot) {
            take(array.data() + slot * SpectralEngine::kChannelStride, kStoredSlotBytes);
        }
    }
    adaptive_.framesSinceReset_.fill(frames);
    adaptive_.bins_ = fixedFrames ? 0 : bins;  // no frame has 0 bins, so nothing is restored
    at += kAdaptiveArraysOffset;
    for (const AdaptiveArray& array : kAdaptiveArrays) {
        (adaptive_.*array.member).fill(0.0f);
        for (int slot = 0; !fixedFrames && slot < AdaptiveDenoiser::kMaxChannels; ++slot) {
            take((adaptive_.*array.member).data() + slot * AdaptiveDenoiser::kBinStride,
                 kAdaptiveSlotValues * sizeof(float));
        }
    }
    return true;
}

}  // namespace murmex
