#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <fstream>
#include <iterator>

#include "encoder_test_support.h"
#include "encoders/lame_library.h"
#include "encoders/mp3_config.h"
#include "encoders/mp3_out.h"
#include "encoders/mp3_trailer.h"
#include "pipeline/au_exception.h"

namespace murmex {
namespace {

using test::Probe;
using test::RunToEnd;

uint32_t FieldAt(const Mp3ConfigRecord& record, std::size_t offset) {
  uint32_t value;
  std::memcpy(&value, reinterpret_cast<const uint8_t*>(&record) + offset, 4);
  return value;
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Mp3Config, RecordCarriesTheSettingsAtTheirOffsets) {
  Mp3Settings cbr;
  cbr.BitRate = mbr144;
  cbr.CRC = true;
  const Mp3ConfigRecord c = BuildMp3Config(cbr, 44100);
  EXPECT_EQ(FieldAt(c, 0), 256U);
  EXPECT_EQ(FieldAt(c, 8), 331U);
  EXPECT_EQ(FieldAt(c, 12), 44100U);
  EXPECT_EQ(FieldAt(c, 24), 144U);  // kept even though not an MPEG-1 Layer III rate
  EXPECT_EQ(FieldAt(c, 52), 0xFFFFFFFFU);
  EXPECT_EQ(FieldAt(c, 60), 0xFFFFFFFFU);  // Original is true by default
  EXPECT_EQ(FieldAt(c, 64), 0U);           // no VBR header under CBR
  EXPECT_EQ(FieldAt(c, 68), 0U);
  EXPECT_EQ(FieldAt(c, 72), 0U);
  EXPECT_EQ(FieldAt(c, 80), 2U);

  Mp3Settings abr;
  abr.BitRate = mbrAuto;
  abr.EnableVBR = true;
  abr.VBRQuality = mp3ql5;
  abr.AverageBitrate = mbr192;
  abr.MaximumBitrate = mbr320;
  abr.Copyright = true;
  const Mp3ConfigRecord a = BuildMp3Config(abr, 22050);
  EXPECT_EQ(FieldAt(a, 24), 0U);
  EXPECT_EQ(FieldAt(a, 28), 320U);
  EXPECT_EQ(FieldAt(a, 56), 0U);  // copyright never reaches the record
  EXPECT_EQ(FieldAt(a, 64), 0xFFFFFFFFU);
  EXPECT_EQ(FieldAt(a, 68), 0xFFFFFFFFU);
  EXPECT_EQ(FieldAt(a, 72), 5U);
  EXPECT_EQ(FieldAt(a, 76), 192U);
  EXPECT_EQ(FieldAt(a, 80), 4U);
  const auto* bytes = reinterpret_cast<const uint8_t*>(&a);
  for (std::size_t i = 84; i < sizeof a; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST(Mp3Trailer, CutsTextsAndKeepsOnlyFourDigitYears) {
  TId3v1Tags tags;
  tags.SetTitle("A title that is longer than thirty bytes");
  tags.SetArtist("Artiste \xC3\xA9");  // é becomes one Windows-1252 byte
  tags.SetComment("note");
  tags.SetYear(1999);
  auto t = BuildMp3Trailer(tags);
  EXPECT_EQ(std::string(t.begin(), t.begin() + 3), "TAG");
  EXPECT_EQ(std::string(t.begin() + 3, t.begin() + 33), "A title that is longer than th");
  EXPECT_EQ(t[33 + 8], 0xE9);
  EXPECT_EQ(t[33 + 9], 0);
  EXPECT_EQ(std::string(t.begin() + 93, t.begin() + 97), "1999");
  EXPECT_EQ(std::string(t.begin() + 97, t.begin() + 101), "note");
  EXPECT_EQ(t[127], 0);

  for (uint16_t year : {0, 12345, 999}) {
    tags.SetYear(year);
    t = BuildMp3Trailer(tags);
    EXPECT_EQ(std::string(t.begin() + 93, t.begin() + 97), std::string(4, '\0')) << year;
  }
}

class Mp3Writing : public ::testing::TestWithParam<test::EncodeCase> {};

// The file is read by ffprobe, ffmpeg, mp3val and mutagen: right format and duration (a mono
// source under the default stereo mode too), the input's audio, no broken frame, a VBR/Info
// header exactly when VBR is on, and the ID3v1 trailer.
TEST_P(Mp3Writing, RealClientsReadTheFile) {
  const test::EncodeCase c = GetParam();
  const auto dir = test::TempDir("mp3-" + c.Name());
  const auto file = dir / "out.mp3";
  const auto pcm = test::Sine(2.0, c.Rate, c.Channels);
  test::PcmInput input(pcm, c.Channels, c.Rate, 3000);
  TMP3Out out;
  out.SetFileName(file.string());
  out.SetEnableVBR(c.Vbr);
  out.SetVBRQuality(mp3ql2);
  out.SetBitRate(c.Vbr ? mbr32 : mbr128);
  out.Id3v1Tags().SetTitle("Sine");
  out.Id3v1Tags().SetArtist("Murmex");
  out.Id3v1Tags().SetYear(2024);
  ASSERT_EQ(RunToEnd(out, input), "");

  const auto probed = Probe(file);
  EXPECT_EQ(probed.Codec, "mp3");
  EXPECT_EQ(probed.SampleRate, c.Rate);
  EXPECT_EQ(probed.Channels, c.Channels);
  const double frame = (c.Rate >= 32000 ? 1152.0 : 576.0) / c.Rate;
  const double encoderDelay = 1105.0 / c.Rate;
  EXPECT_NEAR(probed.Duration, 2.0, encoderDelay + 2 * frame);
  // With the VBR header decoders drop the encoder's delay and padding; without it the decoded
  // audio still holds them.
  const auto decoded = test::Decode(file, c.Rate, c.Channels);
  const double decodedSeconds = static_cast<double>(decoded.size()) / c.Channels / c.Rate;
  EXPECT_NEAR(decodedSeconds, 2.0, c.Vbr ? frame : encoderDelay + frame);
  for (unsigned ch = 0; ch < c.Channels; ++ch) {
    EXPECT_GT(test::BestCorrelation(pcm, decoded, c.Channels, ch, 2400), 0.95) << ch;
  }

  const auto check = test::RunCommand("mp3val " + test::Quote(file));
  EXPECT_EQ(check.Output.find("WARNING"), std::string::npos) << check.Output;
  EXPECT_EQ(check.Output.find("ERROR"), std::string::npos) << check.Output;

  const auto bytes = ReadFile(file);
  ASSERT_GT(bytes.size(), 200U);
  const std::string firstFrame(bytes.begin(), bytes.begin() + 200);
  const bool hasHeader = firstFrame.find("Xing") != std::string::npos ||
                         firstFrame.find("Info") != std::string::npos;
  EXPECT_EQ(hasHeader, c.Vbr);

  const std::string tags = test::Mutagen(
      "from mutagen.id3 import ID3\n"
      "import mutagen.id3._id3v1 as v1\n"
      "data = open(" + test::Quote(file) + ", 'rb').read()[-128:]\n"
      "frames = v1.ParseID3v1(data)\n"
      "print(frames['TIT2'].text[0], frames['TPE1'].text[0], frames['TDRC'].text[0])\n");
  EXPECT_EQ(tags, "Sine Murmex 2024\n");
}

INSTANTIATE_TEST_SUITE_P(Formats, Mp3Writing,
                         ::testing::Values(test::EncodeCase{44100, 2, false}, test::EncodeCase{22050, 1, true},
                                           test::EncodeCase{48000, 1, false}, test::EncodeCase{44100, 2, true},
                                           test::EncodeCase{22050, 2, false}),
                         [](const auto& info) { return info.param.Name(); });

// A source rate and the rate its file holds.
struct RateCase {
  unsigned Rate;
  unsigned Channels;
  unsigned Written;
};

void PrintTo(const RateCase& c, std::ostream* os) {
  *os << c.Rate << " Hz " << c.Channels << " ch, written at " << c.Written << " Hz";
}

class Mp3Rates : public ::testing::TestWithParam<RateCase> {};

// A rate MPEG audio cannot hold is resampled to the nearest one it can: the file states that rate,
// lasts as long as the source and keeps its pitch, and the writer tells the rate it wrote.
TEST_P(Mp3Rates, UnusualRatesAreResampledNotRelabelled) {
  const RateCase c = GetParam();
  const auto file = test::TempDir("mp3-rate-" + std::to_string(c.Rate)) / "out.mp3";
  test::PcmInput input(test::Sine(1.0, c.Rate, c.Channels, 200.0), c.Channels, c.Rate, 30000);
  TMP3Out out;
  out.SetFileName(file.string());
  ASSERT_EQ(RunToEnd(out, input), "");
  EXPECT_EQ(out.OutputSampleRate(), c.Written);

  const auto probed = Probe(file);
  EXPECT_EQ(probed.SampleRate, c.Written);
  EXPECT_NEAR(probed.Duration, 1.0, (1105.0 + 2 * 1152.0) / c.Written);
  const auto decoded = test::Decode(file, c.Written, c.Channels);
  const auto reference = test::Sine(1.0, c.Written, c.Channels, 200.0);
  for (unsigned ch = 0; ch < c.Channels; ++ch) {
    EXPECT_GT(test::BestCorrelation(reference, decoded, c.Channels, ch, 2400), 0.9) << ch;
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, Mp3Rates,
                         ::testing::Values(RateCase{192000, 2, 48000}, RateCase{1000, 1, 8000},
                                           RateCase{44000, 2, 44100}, RateCase{46050, 1, 48000},
                                           RateCase{768000, 1, 48000}),
                         [](const auto& info) { return std::to_string(info.param.Rate) + "Hz"; });

TEST(Mp3Out, FailuresEndTheRunWithTheirMessage) {
  test::PcmInput input(test::Sine(0.5, 44100, 2), 2, 44100);
  TMP3Out out;
  EXPECT_EQ(RunToEnd(out, input), "File name is not assigned.");

  out.SetFileName("/nonexistent-folder/out.mp3");
  EXPECT_FALSE(RunToEnd(out, input).empty());

  // A full disk: the error of the failed write is reported, not a finished file.
  out.SetFileName("/dev/full");
  EXPECT_EQ(RunToEnd(out, input), "No space left on device");

  // Only 16-bit PCM can be encoded.
  test::PcmInput eightBit(test::Sine(0.1, 8000, 1), 1, 8000);
  eightBit.Bits = 8;
  out.SetFileName((test::TempDir("mp3-refused") / "out.mp3").string());
  EXPECT_EQ(RunToEnd(out, eightBit), "InitStream Error : 1");

  // Rates that cannot be handed to the encoder are refused by name.
  for (const unsigned rate : {0u, 1u, 666u, 3000000000u}) {
    test::PcmInput odd(test::Sine(0.1, 8000, 1), 1, rate);
    EXPECT_EQ(RunToEnd(out, odd),
              "Cannot write out.mp3: " + std::to_string(rate) + " Hz is not a sample rate MP3 can write.");
  }
}

TEST(Mp3Out, MissingLibraryIsReportedAtCreation) {
  LameLibrary::SetFileName("libmurmex-absent-lame.so.0");
  EXPECT_FALSE(LameLibrary::IsLoaded());
  try {
    TMP3Out out;
    ADD_FAILURE() << "created without the library";
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "lame_enc.dll library could not be loaded.");
  }
  LameLibrary::SetFileName(LameLibrary::kDefaultFileName);
  TMP3Out out;
  EXPECT_TRUE(LameLibrary::IsLoaded());
}

}  // namespace
}  // namespace murmex
