#include <gtest/gtest.h>

#include <ostream>

#include "encoder_test_support.h"
#include "encoders/vorbis_out.h"

namespace murmex {
namespace {

using test::RunToEnd;

TEST(VorbisOut, BitrateSettersKeepTheirOrder) {
  TVorbisOut out;
  out.SetDesiredMaximumBitrate(bitrate320);  // ignored in quality mode
  EXPECT_EQ(out.DesiredMaximumBitrate(), brAutoSelect);
  out.SetMinimumBitrate(bitrate64);  // above the nominal brAutoSelect: ignored
  EXPECT_EQ(out.MinimumBitrate(), brAutoSelect);

  out.SetDesiredNominalBitrate(bitrate128);
  EXPECT_EQ(out.DesiredMaximumBitrate(), bitrate128);
  out.SetDesiredMaximumBitrate(bitrate96);  // below the nominal value: ignored
  EXPECT_EQ(out.DesiredMaximumBitrate(), bitrate128);
  out.SetDesiredMaximumBitrate(bitrate192);
  out.SetMinimumBitrate(bitrate64);
  EXPECT_EQ(out.DesiredMaximumBitrate(), bitrate192);
  EXPECT_EQ(out.MinimumBitrate(), bitrate64);

  out.SetDesiredNominalBitrate(bitrate48);  // pulls the minimum down
  EXPECT_EQ(out.MinimumBitrate(), bitrate48);
  EXPECT_EQ(out.DesiredMaximumBitrate(), bitrate192);
  out.SetDesiredNominalBitrate(brAutoSelect);
  EXPECT_EQ(out.DesiredMaximumBitrate(), brAutoSelect);
  EXPECT_EQ(out.MinimumBitrate(), brAutoSelect);
}

struct VorbisCase {
  unsigned Rate;
  unsigned Channels;
  TVorbisBitRate Nominal;  // brAutoSelect = quality mode
};

void PrintTo(const VorbisCase& c, std::ostream* os) {
  *os << c.Rate << " Hz " << c.Channels << " ch" << " bitrate " << c.Nominal;
}

class VorbisWriting : public ::testing::TestWithParam<VorbisCase> {};

// ffprobe, ffmpeg, ogginfo and mutagen read the file: format, duration, the input's audio, a valid
// stream with serial 0, and the comments in UTF-8 in key order (set out of order here; empty ones
// left out).
TEST_P(VorbisWriting, RealClientsReadTheFile) {
  const VorbisCase c = GetParam();
  const auto dir = test::TempDir("ogg-" + std::to_string(c.Rate) + "-" +
                                 std::to_string(c.Channels) + "-" + std::to_string(c.Nominal));
  const auto file = dir / "out.ogg";
  const auto pcm = test::Sine(2.0, c.Rate, c.Channels);
  test::PcmInput input(pcm, c.Channels, c.Rate, 5000);
  TVorbisOut out;
  out.SetFileName(file.string());
  out.SetCompression(0.5F);
  out.SetDesiredNominalBitrate(c.Nominal);
  out.Comments().SetTitle("Caf\xC3\xA9 noise");
  out.Comments().SetArtist("Murmex");
  out.Comments().SetTrack("7");
  ASSERT_EQ(RunToEnd(out, input), "");
  EXPECT_TRUE(out.Comments().Empty()) << "comments are cleared when the file is finished";

  const auto probed = test::Probe(file);
  EXPECT_EQ(probed.Codec, "vorbis");
  EXPECT_EQ(probed.SampleRate, c.Rate);
  EXPECT_EQ(probed.Channels, c.Channels);
  EXPECT_NEAR(probed.Duration, 2.0, 0.001);
  const auto decoded = test::Decode(file, c.Rate, c.Channels);
  // Decoders may drop part of the first block; the stream's own length is checked above.
  EXPECT_NEAR(static_cast<double>(decoded.size()), static_cast<double>(pcm.size()),
              2048.0 * c.Channels);
  for (unsigned ch = 0; ch < c.Channels; ++ch) {
    EXPECT_GT(test::BestCorrelation(pcm, decoded, c.Channels, ch, 50), 0.95) << ch;
  }

  const auto info = test::RunCommand("ogginfo " + test::Quote(file));
  EXPECT_EQ(info.Status, 0) << info.Output;
  EXPECT_NE(info.Output.find("serial: 00000000"), std::string::npos) << info.Output;
  EXPECT_EQ(info.Output.find("WARNING"), std::string::npos) << info.Output;

  const std::string comments = test::Mutagen(
      "from mutagen.oggvorbis import OggVorbis\n"
      "f = OggVorbis(" + test::Quote(file) + ")\n"
      "print([(k, v) for k, v in f.tags])\n");  // in the order the file holds them
  EXPECT_EQ(comments,
            "[('artist', 'Murmex'), ('title', 'Café noise'), ('tracknumber', '7')]\n");
}

INSTANTIATE_TEST_SUITE_P(Formats, VorbisWriting,
                         ::testing::Values(VorbisCase{44100, 2, brAutoSelect},
                                           VorbisCase{22050, 1, brAutoSelect},
                                           VorbisCase{48000, 2, bitrate128},
                                           VorbisCase{44100, 1, bitrate64}),
                         [](const auto& info) {
                           const auto& c = info.param;
                           return std::to_string(c.Rate) + "Hz_" + std::to_string(c.Channels) +
                                  "ch_" + (c.Nominal == brAutoSelect ? "quality" : "managed");
                         });

// A source rate, the writer's mode and the rate its file holds.
struct RateCase {
  unsigned Rate;
  unsigned Channels;
  TVorbisBitRate Nominal;  // brAutoSelect = quality mode
  unsigned Written;
  std::size_t Chunk = 30000;  // bytes the input serves at a time
};

void PrintTo(const RateCase& c, std::ostream* os) {
  *os << c.Rate << " Hz " << c.Channels << " ch bitrate " << c.Nominal << ", written at "
      << c.Written << " Hz, " << c.Chunk << "-byte pieces";
}

class VorbisRates : public ::testing::TestWithParam<RateCase> {};

// The encoder takes what it can at the source's own rate; a rate it refuses is resampled to the
// nearest common one it accepts. Either way the file states its true rate, lasts as long as the
// source and keeps its pitch, and the writer tells the rate it wrote.
TEST_P(VorbisRates, UnusualRatesAreEncodedOrResampledNotRelabelled) {
  const RateCase c = GetParam();
  const auto file = test::TempDir("ogg-rate-" + std::to_string(c.Rate) + "-" +
                                  std::to_string(c.Nominal) + "-" + std::to_string(c.Chunk)) /
                    "out.ogg";
  test::PcmInput input(test::Sine(1.0, c.Rate, c.Channels, 200.0), c.Channels, c.Rate, c.Chunk);
  TVorbisOut out;
  out.SetFileName(file.string());
  out.SetDesiredNominalBitrate(c.Nominal);
  ASSERT_EQ(RunToEnd(out, input), "");
  EXPECT_EQ(out.OutputSampleRate(), c.Written);

  const auto probed = test::Probe(file);
  EXPECT_EQ(probed.SampleRate, c.Written);
  EXPECT_NEAR(probed.Duration, 1.0, 0.01);
  const auto decoded = test::Decode(file, c.Written, c.Channels);
  const auto reference = test::Sine(1.0, c.Written, c.Channels, 200.0);
  for (unsigned ch = 0; ch < c.Channels; ++ch) {
    EXPECT_GT(test::BestCorrelation(reference, decoded, c.Channels, ch, 100), 0.9) << ch;
  }
  const auto info = test::RunCommand("ogginfo " + test::Quote(file));
  EXPECT_EQ(info.Status, 0) << info.Output;
}

INSTANTIATE_TEST_SUITE_P(Rates, VorbisRates,
                         ::testing::Values(RateCase{192000, 2, brAutoSelect, 192000},
                                           RateCase{1000, 1, brAutoSelect, 1000},
                                           RateCase{768000, 2, brAutoSelect, 192000},
                                           RateCase{192000, 2, bitrate128, 48000},
                                           RateCase{96000, 1, bitrate64, 48000},
                                           RateCase{1000, 2, bitrate128, 16000},
                                           // pieces the resampler may hold back whole
                                           RateCase{192000, 2, bitrate128, 48000, 16}),
                         [](const auto& info) {
                           const auto& c = info.param;
                           return std::to_string(c.Rate) + "Hz_" +
                                  (c.Nominal == brAutoSelect ? "quality" : "managed") + "_" +
                                  std::to_string(c.Chunk);
                         });

TEST(VorbisOut, EmptyInputAndAppendGiveValidStreams) {
  const auto file = test::TempDir("ogg-append") / "out.ogg";
  TVorbisOut out;
  out.SetFileName(file.string());
  test::PcmInput empty({}, 2, 44100);
  ASSERT_EQ(RunToEnd(out, empty), "");
  // The headers and an empty end-of-stream page (ogginfo frowns on its granule position of 0).
  auto info = test::RunCommand("ogginfo " + test::Quote(file));
  EXPECT_NE(info.Output.find("Vorbis headers parsed for stream 1"), std::string::npos);
  EXPECT_NE(info.Output.find("Logical stream 1 ended"), std::string::npos) << info.Output;

  // A second stream after the first one, with a serial of its own.
  test::PcmInput input(test::Sine(1.0, 44100, 2), 2, 44100);
  out.SetFileMode(TFileOutputMode::foAppend);
  out.SetSerial(5);
  ASSERT_EQ(RunToEnd(out, input), "");
  info = test::RunCommand("ogginfo " + test::Quote(file));
  EXPECT_NE(info.Output.find("Logical stream 2 ended"), std::string::npos) << info.Output;
  EXPECT_NE(info.Output.find("serial: 00000000"), std::string::npos) << info.Output;
  EXPECT_NE(info.Output.find("serial: 00000005"), std::string::npos) << info.Output;
}

TEST(VorbisOut, FailuresEndTheRunWithTheirMessage) {
  test::PcmInput input(test::Sine(0.5, 44100, 2), 2, 44100);
  TVorbisOut out;
  EXPECT_EQ(RunToEnd(out, input), "File name is not assigned.");

  out.SetFileName("/dev/full");
  EXPECT_EQ(RunToEnd(out, input), "No space left on device");

  out.SetFileName((test::TempDir("ogg-refused") / "out.ogg").string());
  out.SetDesiredNominalBitrate(bitrate499);
  test::PcmInput mono(test::Sine(0.5, 8000, 1), 1, 8000);
  EXPECT_EQ(RunToEnd(out, mono),
            "Vorbis codec setup with the requested bitrate failed. Try a lower bitrate.");

  // Rates that cannot be handed to the libraries are refused by name.
  for (const unsigned rate : {0u, 3000000000u}) {
    test::PcmInput odd(test::Sine(0.1, 8000, 1), 1, rate);
    EXPECT_EQ(RunToEnd(out, odd), "Cannot write out.ogg: " + std::to_string(rate) +
                                      " Hz is not a sample rate Ogg Vorbis can write.");
    EXPECT_EQ(out.OutputSampleRate(), 0u);
  }
}

}  // namespace
}  // namespace murmex
