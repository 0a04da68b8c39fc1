#include <gtest/gtest.h>

#include <ostream>

#include "encoder_test_support.h"
#include "encoders/wma_codec_formats.h"
#include "encoders/wma_out.h"

namespace murmex {
namespace {

using test::RunToEnd;

WmaFormatRequest Request(unsigned channels, unsigned rate, uint32_t target, bool vbr = false) {
  WmaFormatRequest request;
  request.Channels = channels;
  request.SampleRate = rate;
  request.Target = target;
  request.Vbr = vbr;
  return request;
}

TEST(WmaFormatSearch, PicksTheClosestBitrateThenChannelsAndRate) {
  auto f = FindWmaFormat(WmaCodecs(), Request(2, 44100, 128000));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Bitrate, 128000U);
  EXPECT_EQ(f->Channels, 2U);
  EXPECT_EQ(f->SampleRate, 44100U);
  EXPECT_EQ(f->VbrQuality, 0);

  f = FindWmaFormat(WmaCodecs(), Request(1, 22050, 24000));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Channels, 1U);
  EXPECT_EQ(f->Bitrate, 24000U);

  // A bitrate between two formats goes to the nearer one.
  f = FindWmaFormat(WmaCodecs(), Request(2, 48000, 300000));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Bitrate, 320000U);

  // VBR compares qualities: 5 is nearest to 10, 50 matches 50; the input's channels and rate win
  // among the formats of that quality.
  f = FindWmaFormat(WmaCodecs(), Request(1, 48000, 5, true));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->VbrQuality, 10);
  EXPECT_EQ(f->Channels, 1U);
  EXPECT_EQ(f->SampleRate, 48000U);
  f = FindWmaFormat(WmaCodecs(), Request(2, 44100, 50, true));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->VbrQuality, 50);
  EXPECT_EQ(f->Channels, 2U);

  WmaFormatRequest lossless = Request(2, 44100, 128000);
  lossless.Lossless = true;
  EXPECT_FALSE(FindWmaFormat(WmaCodecs(), lossless));
  EXPECT_FALSE(FindWmaFormat(WmaCodecs(), Request(6, 44100, 128000)));
}

TEST(WmaOut, SampleTimesFollowTheBlocks) {
  EXPECT_EQ(TWMAOut::NextSampleTime(0, 14112, 176400), 800000);
  EXPECT_EQ(TWMAOut::NextSampleTime(800000, 0, 176400), 800000);
  EXPECT_EQ(TWMAOut::NextSampleTime(0, 3, 44100), 680);  // 680.27 rounded
}

class WmaWriting : public ::testing::TestWithParam<test::EncodeCase> {};

// ffprobe, ffmpeg and mutagen read the file: codec, rate, channels, duration within one frame, the
// input's audio and the attributes by their Windows Media names (the muxer stores title and
// author in both of the ASF's description objects, hence the set).
TEST_P(WmaWriting, RealClientsReadTheFile) {
  const test::EncodeCase c = GetParam();
  const auto dir = test::TempDir("wma-" + c.Name());
  const auto file = dir / "out.wma";
  const auto pcm = test::Sine(2.0, c.Rate, c.Channels);
  test::PcmInput input(pcm, c.Channels, c.Rate, 5000);
  TWMAOut out;
  out.SetFileName(file.string());
  out.SetVBR(c.Vbr);
  out.SetVBRQuality(90);
  out.SetDesiredBitrate(c.Channels == 2 ? 128 : 48000);
  out.Id3v2Tags().SetTitle("Caf\xC3\xA9");
  out.Id3v2Tags().SetArtist("Murmex");
  out.Id3v2Tags().SetAlbum("Tests");
  out.Id3v2Tags().SetYear("2024");
  ASSERT_EQ(RunToEnd(out, input), "");

  const uint32_t target = c.Vbr ? 90 : c.Channels == 2 ? 128000 : 48000;
  const auto format = FindWmaFormat(WmaCodecs(), Request(c.Channels, c.Rate, target, c.Vbr));
  ASSERT_TRUE(format);
  const auto probed = test::Probe(file);
  EXPECT_EQ(probed.Codec, "wmav2");
  EXPECT_EQ(probed.SampleRate, format->SampleRate);
  EXPECT_EQ(probed.Channels, format->Channels);
  const double frame = 2048.0 / format->SampleRate;
  EXPECT_NEAR(probed.Duration, 2.0, frame);

  const auto decoded = test::Decode(file, c.Rate, c.Channels);
  for (unsigned ch = 0; ch < c.Channels; ++ch) {
    EXPECT_GT(test::BestCorrelation(pcm, decoded, c.Channels, ch, 2100), 0.9) << ch;
  }

  const std::string tags = test::Mutagen(
      "from mutagen.asf import ASF\n"
      "f = ASF(" + test::Quote(file) + ")\n"
      "for k in ['Title', 'Author', 'WM/AlbumTitle', 'WM/Year', 'WM/Genre']:\n"
      "    print(k, sorted(set(str(v) for v in f.get(k, []))))\n");
  EXPECT_EQ(tags,
            "Title ['Café']\nAuthor ['Murmex']\nWM/AlbumTitle ['Tests']\nWM/Year ['2024']\n"
            "WM/Genre []\n");
}

INSTANTIATE_TEST_SUITE_P(Formats, WmaWriting,
                         ::testing::Values(test::EncodeCase{44100, 2, false}, test::EncodeCase{22050, 1, false},
                                           test::EncodeCase{48000, 2, true}, test::EncodeCase{44100, 1, true}),
                         [](const auto& info) { return info.param.Name(); });

TEST(WmaOut, FailuresEndTheRunWithTheirMessage) {
  test::PcmInput input(test::Sine(0.5, 44100, 2), 2, 44100);
  TWMAOut out;
  EXPECT_EQ(RunToEnd(out, input), "File name is not assigned.");

  out.SetFileName("/nonexistent-folder/out.wma");
  EXPECT_EQ(RunToEnd(out, input), "Cannot create file");

  out.SetFileName((test::TempDir("wma-refused") / "out.wma").string());
  out.SetLossless(true);
  EXPECT_EQ(RunToEnd(out, input), "Failed to init codec");
  out.SetLossless(false);

  // A full disk: the failed write is reported, the file is not passed as complete.
  out.SetFileName("/dev/full");
  EXPECT_EQ(RunToEnd(out, input).rfind("Failed to write data: ", 0), 0U);
}

}  // namespace
}  // namespace murmex
