#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>

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
  EXPECT_EQ(RunToEnd(out, input), "Cannot create file /nonexistent-folder/out.wma: No such file or directory");

  out.SetFileName((test::TempDir("wma-refused") / "out.wma").string());
  out.SetLossless(true);
  EXPECT_EQ(RunToEnd(out, input), "Failed to init codec");
  out.SetLossless(false);

  // A full disk: the failed write is reported in the system's words, the file is not passed as
  // complete.
  out.SetFileName("/dev/full");
  EXPECT_EQ(RunToEnd(out, input), "Failed to write data: No space left on device");
}

// Runs a test inside a folder, so that relative names are resolved there.
class WorkingFolder {
public:
  explicit WorkingFolder(const std::filesystem::path& dir) : FPrevious(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~WorkingFolder() { std::filesystem::current_path(FPrevious); }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
  std::filesystem::path FPrevious;
};

struct NameCase {
  std::string Label;
  std::string Name;      // the output name, relative to the scratch folder
  std::string Existing;  // a file already in the folder that must keep its bytes, or empty
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.Name; }

class WmaOutputNames : public ::testing::TestWithParam<NameCase> {};

// Names that read like FFmpeg protocols ("pipe:", "file:") are plain file names like any other:
// exactly that file is written, nothing goes to standard output or to another file.
TEST_P(WmaOutputNames, AreWrittenAsThatLiteralFile) {
  const NameCase c = GetParam();
  const auto dir = test::TempDir("wma-name-" + c.Label);
  if (!c.Existing.empty()) std::ofstream(dir / c.Existing) << "keep";
  {
    const WorkingFolder inside(dir);
    test::PcmInput input(test::Sine(0.3, 44100, 2), 2, 44100);
    TWMAOut out;
    out.SetFileName(c.Name);
    ASSERT_EQ(RunToEnd(out, input), "");
  }
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.insert(entry.path().filename());
  std::set<std::string> expected{c.Name};
  if (!c.Existing.empty()) expected.insert(c.Existing);
  EXPECT_EQ(names, expected);
  EXPECT_EQ(test::Probe(dir / c.Name).Codec, "wmav2");
  if (!c.Existing.empty()) {
    std::ifstream kept(dir / c.Existing);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep");
  }
}

INSTANTIATE_TEST_SUITE_P(ProtocolLike, WmaOutputNames,
                         ::testing::Values(NameCase{"pipe", "pipe:1.wma", ""},
                                           NameCase{"colon", "Take:1.wma", ""},
                                           NameCase{"file", "file:y.wma", "y.wma"},
                                           NameCase{"nested", "file:file:z.wma", "file:z.wma"}),
                         [](const auto& info) { return info.param.Label; });

}  // namespace
}  // namespace murmex
