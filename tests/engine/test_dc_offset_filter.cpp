#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/dc_offset_filter.h"

namespace murmex {
namespace {

// Runs `samples` interleaved samples through the filter in 2048-byte blocks.
std::vector<int16_t> Filter(DcOffsetFilter& filter, std::vector<int16_t> samples, int channels) {
    for (size_t at = 0; at < samples.size(); at += 1024) {
        filter.RemoveDcOffset(samples.data() + at, 2048, channels);
    }
    return samples;
}

TEST(DcOffsetFilter, ConstantInputRingsDownAroundZero) {
    DcOffsetFilter filter;
    filter.ComputeDcCoefficient();
    EXPECT_NEAR(filter.DcCoefficient(), 0.0015708, 1e-7);
    const int k = 10000;
    const auto out = Filter(filter, std::vector<int16_t>(12 * 1024, k), 1);

    EXPECT_EQ(out[0], k);
    auto crossing = [&](size_t from) {
        for (size_t n = from; n + 1 < out.size(); ++n) {
            if ((out[n] > 0) != (out[n + 1] > 0)) return n;
        }
        return out.size();
    };
    const size_t first = crossing(0);
    EXPECT_NEAR(static_cast<double>(first), 769, 10);
    EXPECT_NEAR(out[1538], -0.3 * k, 0.03 * k);
    EXPECT_NEAR(static_cast<double>(crossing(first + 10)), 3078, 15);
    for (size_t n = 10000; n < out.size(); ++n) ASSERT_LT(std::abs(out[n]), 0.001 * k) << n;
    EXPECT_NEAR(filter.DcLow(0), k, 0.001 * k);
}

TEST(DcOffsetFilter, ChannelsKeepTheirOwnStateAndSilenceStaysSilent) {
    DcOffsetFilter filter;
    filter.ComputeDcCoefficient();
    std::vector<int16_t> stereo(4 * 1024, 0);
    for (size_t n = 0; n < stereo.size(); n += 2) stereo[n] = 8000;
    const auto out = Filter(filter, stereo, 2);
    for (size_t n = 1; n < out.size(); n += 2) ASSERT_EQ(out[n], 0) << n;
    EXPECT_EQ(filter.DcLow(1), 0.0f);
    EXPECT_GT(filter.DcLow(0), 0.0f);

    filter.Reset();
    EXPECT_EQ(filter.DcLow(0), 0.0f);
}

TEST(DcOffsetFilter, RejectsChannelCountsItCannotHold) {
    DcOffsetFilter filter;
    filter.ComputeDcCoefficient();
    std::vector<int16_t> block(1024, 500);
    filter.RemoveDcOffset(block.data(), 2048, 0);
    filter.RemoveDcOffset(block.data(), 2048, 4);
    EXPECT_EQ(block, std::vector<int16_t>(1024, 500));
}

TEST(DcOffsetFilter, OutputIsClampedToSixteenBits) {
    DcOffsetFilter filter;
    filter.ComputeDcCoefficient();
    std::vector<int16_t> block(1024, 0);
    block[0] = 32767;
    block[1] = -32768;
    for (int i = 2; i < 1024; ++i) block[i] = (i % 2) ? -32768 : 32767;
    filter.RemoveDcOffset(block.data(), 2048, 1);
    EXPECT_EQ(block[0], 32767);
    EXPECT_EQ(block[1], -32768) << "the swing past full scale must clamp, not wrap";
}

}  // namespace
}  // namespace murmex
