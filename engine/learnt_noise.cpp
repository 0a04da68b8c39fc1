#include "engine/learnt_noise.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>

#include "engine/processing_options.h"

namespace murmex {

namespace {

// The adaptive method's state is stored as its bytes, so it must be nothing but values, laid
// out so that each member has a fixed offset.
static_assert(std::is_trivially_copyable_v<AdaptiveDenoiser>);
static_assert(std::is_standard_layout_v<AdaptiveDenoiser>);

constexpr char kTag[4] = {'M', 'M', 'X', 'N'};
constexpr uint32_t kVersion = 1;

struct Header {
    char tag[4];
    uint32_t version;
    uint32_t channels;
    uint32_t stateBytes;
    uint32_t adaptiveBytes;
    uint32_t captureActive;
};

using StateArray = SpectralEngine::StateArray;

// The stored layout, which sessions saved by earlier versions have too: each array as its
// channel slots of kBins values one after another, and the adaptive method's state followed by
// the room of two per-frame arrays it once carried (zeros when written, skipped when read).
constexpr size_t kStoredSlotBytes = SpectralEngine::kBins * sizeof(float);
constexpr size_t kStoredStateBytes = SpectralEngine::kChannelSlots * kStoredSlotBytes;
constexpr size_t kStoredScratchBytes = sizeof(AdaptiveDenoiser::Scratch);
constexpr size_t kStoredAdaptiveBytes = sizeof(AdaptiveDenoiser) + kStoredScratchBytes;

constexpr float kLargestPower = SpectralEngine::kLargestBinPower;

// The classic method's kept arrays in their stored order.
constexpr std::array<const char*, 6> kClassicArrayNames{"noise estimate", "biased noise",     "local minimum",
                                                       "noise tracker",  "previous minimum", "captured noise"};

// True when every value of `run` lies within its range (a NaN lies within none).
bool WithinRange(const uint8_t* bytes, const LearntNoise::StoredValues& run) {
    using Kind = LearntNoise::StoredValues::Kind;
    const size_t size = run.kind == Kind::Flag ? 1 : 4;
    for (size_t i = 0; i < run.count; ++i) {
        const uint8_t* at = bytes + run.offset + i * size;
        double value = at[0];
        if (run.kind == Kind::Number) {
            float number;
            std::memcpy(&number, at, sizeof number);
            value = number;
        } else if (run.kind == Kind::Count) {
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
    {&AdaptiveDenoiser::noise_, offsetof(AdaptiveDenoiser, noise_), "adaptive noise power", kLargestPower},
    {&AdaptiveDenoiser::gainNoise_, offsetof(AdaptiveDenoiser, gainNoise_), "adaptive gain noise", kLargestPower},
    {&AdaptiveDenoiser::smoothedPower_, offsetof(AdaptiveDenoiser, smoothedPower_), "adaptive smoothed power",
     kLargestPower},
    {&AdaptiveDenoiser::smoothedSquare_, offsetof(AdaptiveDenoiser, smoothedSquare_), "adaptive smoothed square",
     2.0f * kLargestPower * kLargestPower},
    {&AdaptiveDenoiser::presence_, offsetof(AdaptiveDenoiser, presence_), "adaptive presence", 1.0f},
    {&AdaptiveDenoiser::warmMinimum_, offsetof(AdaptiveDenoiser, warmMinimum_), "adaptive warm-up minimum",
     AdaptiveDenoiser::kMinimumSearchStart},
}};

// Where the ranges come from: no bin's power exceeds kLargestBinPower, and every array holds
// powers, their averages or minima (the adaptive averages start at the first frame's power and
// twice its square), or 0 before a run has learnt anything; the biased noise is the estimate
// scaled by "Noise bias level". The adaptive frame count stops at the warm-up's end, which
// depends on the sample rate, so only its sign is known. The adaptive capture flag is not
// restored, but is checked so that the stored state never holds a bool of another value.
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
        const size_t adaptive = sizeof(Header) + kKeptArrays * kStoredStateBytes;
        all[kKeptArrays] = {"adaptive frame count", adaptive + offsetof(AdaptiveDenoiser, framesSinceReset_), 1,
                            Kind::Count, 0.0, std::numeric_limits<int32_t>::max()};
        all[kKeptArrays + 1] = {"adaptive capture flag", adaptive + offsetof(AdaptiveDenoiser, captureActive_), 1,
                                Kind::Flag, 0.0, 1.0};
        for (int i = 0; i < kKeptAdaptiveArrays; ++i) {
            const AdaptiveArray& array = kAdaptiveArrays[i];
            all[kKeptArrays + 2 + i] = {array.name, adaptive + array.offset, std::tuple_size_v<AdaptiveDenoiser::BinArray>,
                                        Kind::Number, 0.0, array.highest};
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
    for (const AdaptiveArray& array : kAdaptiveArrays) engine.adaptive_.*array.member = adaptive_.*array.member;
    engine.adaptive_.framesSinceReset_ = adaptive_.framesSinceReset_;
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
    put(&adaptive_, sizeof adaptive_);
    return bytes;  // the scratch room stays zero
}

bool LearntNoise::Decode(std::span<const uint8_t> bytes) {
    Header header{};
    const size_t expected = sizeof header + kKeptArrays * kStoredStateBytes + kStoredAdaptiveBytes;
    if (bytes.size() != expected) return false;
    std::memcpy(&header, bytes.data(), sizeof header);
    if (std::memcmp(header.tag, kTag, sizeof kTag) != 0 || header.version != kVersion ||
        header.stateBytes != kStoredStateBytes || header.adaptiveBytes != kStoredAdaptiveBytes ||
        header.channels < 1 || header.channels > SpectralEngine::kMaxChannels || header.captureActive > 1) {
        return false;
    }
    for (const StoredValues& run : CheckedValues()) {
        if (!WithinRange(bytes.data(), run)) return false;
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
    take(&adaptive_, sizeof adaptive_);
    return true;
}

}  // namespace murmex
