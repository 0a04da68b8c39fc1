#include <gtest/gtest.h>

#include "encoder_test_support.h"
#include "encoders/mp3_bitrate_limit.h"
#include "encoders/mp3_out.h"

namespace murmex {
namespace {

struct LimitCase {
  unsigned Rate;
  TMP3BitRate Chosen;
  uint32_t WrittenKbps;
};

// The rule must agree with what the encoder really writes: each case is encoded and read back.
TEST(Mp3BitrateLimit, RuleMatchesTheWrittenFile) {
  const std::vector<LimitCase> cases = {
      {44100, mbr320, 320}, {48000, mbr320, 320}, {32000, mbr320, 320}, {96000, mbr320, 320},
      {22050, mbr320, 160}, {22050, mbr256, 160}, {22050, mbr128, 128}, {24000, mbr192, 160},
      {16000, mbr320, 160}, {12000, mbr320, 64},  {11025, mbr96, 64},   {8000, mbr256, 64},
  };
  const auto dir = test::TempDir("mp3-bitrate-limit");
  for (const LimitCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Rate) + " Hz at " + std::to_string(Mp3BitRateKbps(c.Chosen)) + " kbps");
    const uint32_t chosen = Mp3BitRateKbps(c.Chosen);
    EXPECT_EQ(Mp3EffectiveKbps(chosen, c.Rate), c.WrittenKbps);
    EXPECT_EQ(Mp3BitrateLimitNote(chosen, c.Rate).has_value(), c.WrittenKbps != chosen);

    const auto file = dir / (std::to_string(c.Rate) + "-" + std::to_string(chosen) + ".mp3");
    test::PcmInput input(test::Sine(0.5, c.Rate, 1), 1, c.Rate);
    TMP3Out out;
    out.SetFileName(file.string());
    out.SetBitRate(c.Chosen);
    ASSERT_EQ(test::RunToEnd(out, input), "");
    const auto probed = test::RunCommand("ffprobe -v error -select_streams a:0 -show_entries stream=bit_rate -of csv=p=0 " +
                                         test::Quote(file));
    ASSERT_EQ(probed.Status, 0) << probed.Output;
    EXPECT_EQ(std::stoul(probed.Output), c.WrittenKbps * 1000) << probed.Output;
  }
}

TEST(Mp3BitrateLimit, NoteNamesRateLimitAndChoice) {
  EXPECT_EQ(Mp3BitrateLimitNote(320, 22050).value_or(""),
            "320 kbps is written as 160 kbps: MP3 at 22050 Hz holds at most 160 kbps");
  EXPECT_FALSE(Mp3BitrateLimitNote(160, 22050));
}

}  // namespace
}  // namespace murmex
