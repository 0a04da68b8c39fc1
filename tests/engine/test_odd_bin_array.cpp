#include <gtest/gtest.h>

#include <array>

#include "engine/odd_bin_array.h"

namespace murmex {
namespace {

// A small array of the engine's kind: 33 bins (16 odd ones), two slots of 40 entries. Every step
// changes it through one of its operations and a plain array in the full layout the same way;
// the two must agree after each step, in the full layout and in the packed odd bins.
constexpr int kBins = 33;
constexpr int kSlots = 2;
constexpr int kStride = 40;
using Array = OddBinArray<kBins, kSlots, kStride>;
using Full = Array::Full;

void ExpectSame(const Array& array, const Full& expected, const char* step) {
    ASSERT_EQ(array.All(), expected) << step;
    for (int slot = 0; slot < kSlots; ++slot) {
        for (int m = 0; m < Array::kOddBins; ++m) {
            ASSERT_EQ(array.Odd(slot)[m], expected[slot * kStride + 2 * m + 1]) << step << " slot " << slot << " m " << m;
        }
    }
}

TEST(OddBinArray, EveryOperationKeepsTheFullLayoutAndThePackedOddBinsAlike) {
    Array array;
    Full expected{};
    ExpectSame(array, expected, "fresh");

    array.Fill(0.5f);
    expected.fill(0.5f);
    ExpectSame(array, expected, "Fill");

    // A count that ends on an even bin, one that ends on an odd bin and a whole slot with the
    // room after its bins.
    for (const int count : {kBins - 1, 7, kStride}) {
        array.FillSlot(0, count, static_cast<float>(count));
        for (int i = 0; i < count; ++i) expected[i] = static_cast<float>(count);
        ExpectSame(array, expected, "FillSlot");
    }

    // The frame's loops write the odd bins only.
    for (int m = 0; m < Array::kOddBins; ++m) {
        array.Odd(0)[m] = 100.0f + static_cast<float>(m);
        expected[2 * m + 1] = 100.0f + static_cast<float>(m);
    }
    ExpectSame(array, expected, "odd bins written");

    Array other;
    Full otherValues{};
    for (int i = 0; i < kSlots * kStride; ++i) otherValues[i] = -static_cast<float>(i);
    other.Assign(otherValues);
    ExpectSame(other, otherValues, "Assign");

    array.CopySlot(other, 1);
    for (int i = 0; i < kStride; ++i) expected[kStride + i] = otherValues[kStride + i];
    ExpectSame(array, expected, "CopySlot");
}

}  // namespace
}  // namespace murmex
