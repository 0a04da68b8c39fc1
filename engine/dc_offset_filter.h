#pragma once

#include <array>
#include <cstdint>

namespace murmex {

// Removes a DC offset from interleaved 16-bit PCM with a two-integrator state-variable filter
// (damping 1) per channel whose high-pass output replaces each sample. Its state runs on from
// block to block within a run.
class DcOffsetFilter {
public:
    static constexpr int kChannelSlots = 3;

    // Computes the fixed filter coefficient (done at every file load).
    void ComputeDcCoefficient();
    // Zeroes the filter state of every channel slot; the coefficient is kept.
    void Reset();
    // Filters byteCount bytes of `block` in place. A channel count outside 1..kChannelSlots
    // leaves the block untouched.
    void RemoveDcOffset(int16_t* block, int byteCount, int channels);

    float DcCoefficient() const { return dcCoefficient_; }
    float DcLow(int channel) const { return dcLow_[channel]; }

private:
    std::array<float, kChannelSlots> dcLow_{};
    std::array<float, kChannelSlots> dcBand_{};
    std::array<float, kChannelSlots> dcHigh_{};
    float dcCoefficient_ = 0.0f;
};

}  // namespace murmex
