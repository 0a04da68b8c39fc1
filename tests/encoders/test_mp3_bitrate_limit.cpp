#include <gtest/gtest.h>

#include "encoder_test_support.h"
#include "encoders/mp3_bitrate_limit.h"
#include "encoders/mp3_out.h"

namespace murmex {
namespace {

// The rule must agree with what the encoder really writes: each case is encoded and read back.
TEST(Mp3BitrateLimit, RuleMatchesTheWrittenFile) {
  const std::vector<std::tuple<unsigned, TMP3BitRate, uint32_t>> cases = {
      {44100, mbr320, 320}, {32000, mbr320, 320}, {96000, mbr320, 320}, {22050, mbr320, 160},
      {22050, mbr128, 128}, {16000, mbr192, 160}, {12000, mbr320, 64},  {8000, mbr96, 64}};
  const auto dir = test::TempDir("mp3-bitrate-limit");
  for (const auto& [rate, chosen, written] : cases) {
    const uint32_t kbps = Mp3BitRateKbps(chosen);
    SCOPED_TRACE(std::to_string(rate) + " Hz at " + std::to_string(kbps) + " kbps");
    EXPECT_EQ(Mp3EffectiveKbps(kbps, rate), written);
    EXPECT_EQ(Mp3BitrateLimitNote(kbps, rate).has_value(), written != kbps);
    const auto file = dir / (std::to_string(rate) + "-" + std::to_string(kbps) + ".mp3");
    test::PcmInput input(test::Sine(0.5, rate, 1), 1, rate);
    TMP3Out out;
    out.SetFileName(file.string());
    out.SetBitRate(chosen);
    ASSERT_EQ(test::RunToEnd(out, input), "");
    const auto probed = test::RunCommand(
        "ffprobe -v error -select_streams a:0 -show_entries stream=bit_rate -of csv=p=0 " + test::Quote(file));
    ASSERT_EQ(probed.Status, 0) << probed.Output;
    EXPECT_EQ(std::stoul(probed.Output), written * 1000) << probed.Output;
  }
}

}  // namespace
}  // namespace murmex
