#include "engine/learnt_noise.h"

#include <cstring>
#include <type_traits>

namespace murmex {

namespace {

// The adaptive method's state is stored as its bytes, so it must be nothing but values.
static_assert(std::is_trivially_copyable_v<AdaptiveDenoiser>);

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

}  // namespace

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
    engine.adaptive_ = adaptive_;
    engine.adaptive_.Configure(engine.channels_, engine.sampleRate_);
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
