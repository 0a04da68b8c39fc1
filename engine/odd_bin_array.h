#pragma once

#include <array>
#include <cstddef>

namespace murmex {

// A per-bin state array of the classic method, which updates only the odd bins, every frame.
// The odd bins of each channel are kept packed, so that the frame's loops read and write them
// contiguously, without picking every other value out of a vector and without carrying the even
// bins through the cache. The other entries (even bins, the Nyquist bin, the room after it) keep
// what the run's set-up gave them; All() shows the array in its full layout.
template <int Bins, int Slots, int SlotStride>
class OddBinArray {
public:
    static constexpr int kOddBins = Bins / 2;
    using Full = std::array<float, Slots * SlotStride>;

    float* Odd(int slot) { return odd_.data() + static_cast<std::ptrdiff_t>(slot) * kOddBins; }
    const float* Odd(int slot) const { return odd_.data() + static_cast<std::ptrdiff_t>(slot) * kOddBins; }

    // Every entry of every slot.
    void Fill(float value) {
        full_.fill(value);
        odd_.fill(value);
    }
    // Entries 0 .. count - 1 of one slot (count at most SlotStride).
    void FillSlot(int slot, int count, float value) {
        float* full = full_.data() + static_cast<std::ptrdiff_t>(slot) * SlotStride;
        for (int i = 0; i < count; ++i) full[i] = value;
        float* odd = Odd(slot);
        for (int m = 0; m < kOddBins && 2 * m + 1 < count; ++m) odd[m] = value;
    }
    // One whole slot of `from` into this array's.
    void CopySlot(const OddBinArray& from, int slot) {
        const std::ptrdiff_t first = static_cast<std::ptrdiff_t>(slot) * SlotStride;
        for (int i = 0; i < SlotStride; ++i) full_[first + i] = from.full_[first + i];
        const float* odd = from.Odd(slot);
        for (int m = 0; m < kOddBins; ++m) Odd(slot)[m] = odd[m];
    }

    // The array in its full layout: slot s's bin k at s * SlotStride + k. The reference stays
    // valid, and shows the odd bins as of this call.
    const Full& All() const {
        for (int slot = 0; slot < Slots; ++slot) {
            const float* odd = Odd(slot);
            float* full = full_.data() + static_cast<std::ptrdiff_t>(slot) * SlotStride;
            for (int m = 0; m < kOddBins; ++m) full[2 * m + 1] = odd[m];
        }
        return full_;
    }
    // Takes every entry from an array in the full layout.
    void Assign(const Full& values) {
        full_ = values;
        for (int slot = 0; slot < Slots; ++slot) {
            const float* full = values.data() + static_cast<std::ptrdiff_t>(slot) * SlotStride;
            float* odd = Odd(slot);
            for (int m = 0; m < kOddBins; ++m) odd[m] = full[2 * m + 1];
        }
    }

private:
    // Each slot's packed odd bins fill whole cache lines, so two threads working on the two
    // channels never write to one line.
    static_assert(kOddBins * sizeof(float) % 64 == 0);
    alignas(64) std::array<float, Slots * kOddBins> odd_{};
    // The other entries, and the odd ones as All() last showed them.
    alignas(64) mutable Full full_{};
};

}  // namespace murmex
