#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
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

TEST(WmaFormatSearch, AnyInputRateFindsAFormat) {
  // Far below every format the search alone finds none; the input is then matched as if it came
  // at the lowest rate, and resampled.
  EXPECT_FALSE(FindWmaFormat(WmaCodecs(), Request(2, 1000, 128000)));
  auto f = FindWmaFormatForInput(WmaCodecs(), Request(2, 1000, 128000));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->SampleRate, 16000U);
  EXPECT_EQ(f->Channels, 2U);
  // What the search finds on its own stays the choice.
  for (unsigned rate : {6000U, 44100U, 192000U}) {
    const auto alone = FindWmaFormat(WmaCodecs(), Request(1, rate, 24000));
    const auto forInput = FindWmaFormatForInput(WmaCodecs(), Request(1, rate, 24000));
    ASSERT_TRUE(alone && forInput) << rate;
    EXPECT_EQ(forInput->SampleRate, alone->SampleRate) << rate;
  }
  WmaFormatRequest lossless = Request(2, 1000, 128000);
  lossless.Lossless = true;
  EXPECT_FALSE(FindWmaFormatForInput(WmaCodecs(), lossless));
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

// A rising chirp: unlike a steady tone, a window of it matches the output at one delay only.
std::vector<int16_t> Chirp(double seconds, unsigned rate, unsigned channels) {
  const auto frames = static_cast<std::size_t>(seconds * rate);
  const double low = std::min(100.0, rate / 40.0);
  const double high = std::min(3000.0, rate / 4.0);
  std::vector<int16_t> samples(frames * channels);
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double phase = 2.0 * std::numbers::pi * (low * t + (high - low) * t * t / (2.0 * seconds));
    for (unsigned c = 0; c < channels; ++c) samples[i * channels + c] = static_cast<int16_t>(16384.0 * std::sin(phase));
  }
  return samples;
}

struct LengthCase {
  unsigned Rate;
  unsigned Channels;
  uint32_t Kbps;       // constant bitrate when VbrQuality is 0
  uint8_t VbrQuality;
  unsigned FileRate;   // the format table's choice for this input
};

void PrintTo(const LengthCase& c, std::ostream* os) {
  *os << c.Rate << " Hz " << c.Channels << " ch ";
  if (c.VbrQuality != 0) *os << "VBR " << int{c.VbrQuality};
  else *os << c.Kbps << " kbit/s";
}

class WmaKeepsTheAudio : public ::testing::TestWithParam<LengthCase> {};

// Decoded by ffmpeg at the input's rate, the file holds every frame given, the first and the last
// ones included, in place; at most a few frames of silence follow. Rates the format table has no
// format for are resampled to the rate of the format it chooses.
TEST_P(WmaKeepsTheAudio, EveryFrameGivenDecodesBack) {
  const LengthCase c = GetParam();
  const auto file = test::TempDir("wma-length-" + std::to_string(c.Rate)) / "out.wma";
  const auto pcm = Chirp(1.0, c.Rate, c.Channels);
  test::PcmInput input(pcm, c.Channels, c.Rate, 5000);
  TWMAOut out;
  out.SetFileName(file.string());
  out.SetDesiredBitrate(c.Kbps);
  out.SetVBR(c.VbrQuality != 0);
  out.SetVBRQuality(c.VbrQuality);
  ASSERT_EQ(RunToEnd(out, input), "");
  EXPECT_EQ(out.OutputSampleRate(), c.FileRate);
  EXPECT_EQ(test::Probe(file).SampleRate, c.FileRate);

  const auto decoded = test::Decode(file, c.Rate, c.Channels);
  const std::size_t frames = pcm.size() / c.Channels;
  const std::size_t decodedFrames = decoded.size() / c.Channels;
  // One codec frame (2048 samples at the file's rate) in the input's frames.
  const std::size_t codecFrame = 2048ULL * c.Rate / c.FileRate;
  ASSERT_GE(decodedFrames, frames) << "frames given are missing";
  EXPECT_LE(decodedFrames, frames + 3 * codecFrame);

  // The middle of the input is found in place in the output, not earlier (the first frames
  // lost) nor later.
  const std::size_t middle = frames / 2;
  const std::size_t window = std::min<std::size_t>(middle / 2, 8192);
  const auto correlationAt = [&](std::size_t first, std::size_t count, std::ptrdiff_t shift) {
    return test::Correlation(pcm, decoded, c.Channels, 0, first, count, shift);
  };
  const auto search = static_cast<std::ptrdiff_t>(std::min(codecFrame, middle / 2));
  std::ptrdiff_t delay = 0;
  double best = -1.0;
  for (std::ptrdiff_t shift = -search; shift <= search; ++shift) {
    const double r = correlationAt(middle, window, shift);
    if (r > best) best = r, delay = shift;
  }
  EXPECT_EQ(delay, 0);
  // The first and the last codec frame's worth given (a lossy codec smears the hard cut at the
  // end over a few samples).
  const std::size_t edge = std::min(frames / 10, codecFrame);
  EXPECT_GT(best, 0.9);
  EXPECT_GT(correlationAt(0, edge, 0), 0.9);
  EXPECT_GT(correlationAt(frames - edge, edge, 0), 0.9);
}

INSTANTIATE_TEST_SUITE_P(Rates, WmaKeepsTheAudio,
                         ::testing::Values(LengthCase{44100, 2, 128, 0, 44100}, LengthCase{22050, 1, 24, 0, 44100},
                                           LengthCase{48000, 2, 128, 0, 44100}, LengthCase{192000, 2, 128, 0, 44100},
                                           LengthCase{192000, 2, 0, 90, 48000}, LengthCase{384000, 1, 48, 0, 44100},
                                           LengthCase{1000, 1, 24, 0, 16000}, LengthCase{1000, 2, 128, 0, 16000},
                                           LengthCase{8010, 1, 24, 0, 16000}, LengthCase{8010, 2, 128, 0, 16000}),
                         [](const auto& info) {
                           const LengthCase& c = info.param;
                           return std::to_string(c.Rate) + "Hz_" + std::to_string(c.Channels) + "ch_" +
                                  (c.VbrQuality != 0 ? "vbr" : "cbr");
                         });

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
