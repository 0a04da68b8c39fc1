// A host's float samples meet the engine as the decoder would deliver them: scaled by 32768,
// rounded to nearest with ties to even, saturated, and a NaN as silence.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "plugin/live_denoiser.h"

namespace murmex::test {
namespace {

TEST(LiveConversion, RoundsAndSaturatesAsTheDecoder) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const std::vector<std::pair<float, int>> cases{
        {0.5f, 0},       {1.5f, 2},          {2.5f, 2},           {-1.5f, -2},          {0.49f, 0},
        {100.7f, 101},   {32767.0f, 32767},  {32768.0f, 32767},   {-32768.0f, -32768},  {98304.0f, 32767},
        {-1e9f, -32768}, {kInf, 32767},      {-kInf, -32768},     {std::nanf(""), 0}};
    for (int channels : {1, 2}) {
        // Each case over a whole second in one channel, so that it reaches the engine in every
        // position of its blocks; a copy fed the expected samples must come out the same.
        const size_t frames = 44100;
        std::vector<std::vector<float>> given(2, std::vector<float>(frames)), expected = given, out = given, outExpected = given;
        for (size_t i = 0; i < frames; ++i) {
            const auto& [scaled, sample] = cases[i % cases.size()];
            given[0][i] = scaled / 32768.0f;
            expected[0][i] = static_cast<float>(sample) / 32768.0f;
            given[1][i] = expected[1][i] = static_cast<float>(i % 200) / 32768.0f;
        }
        LiveDenoiser denoiser(channels, 44100.0), reference(channels, 44100.0);
        const float* in[] = {given[0].data(), given[1].data()};
        const float* inExpected[] = {expected[0].data(), expected[1].data()};
        float* outs[] = {out[0].data(), out[1].data()};
        float* outsExpected[] = {outExpected[0].data(), outExpected[1].data()};
        denoiser.Process(in, outs, frames, true);
        reference.Process(inExpected, outsExpected, frames, true);
        EXPECT_EQ(out, outExpected) << channels << " channel(s)";
    }
}

}  // namespace
}  // namespace murmex::test
