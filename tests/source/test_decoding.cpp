// Decoding streams: formats, lengths, frame-aligned reads, seeks, rewinds, damaged input and a
// seek from one thread while another reads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "source/bass.h"
#include "tests/fixtures/fixture_paths.h"

namespace murmex {
namespace {

namespace fs = std::filesystem;
using testing::FixturePath;

HSTREAM OpenByExtension(const fs::path& path) {
  const std::string ext = path.extension().string();
  const std::string name = path.string();
  if (ext == ".wma") return BASS_WMA_StreamCreateFile(false, name.c_str(), 0, 0, BASS_STREAM_DECODE);
  if (ext == ".flac" || ext == ".flc") return BASS_FLAC_StreamCreateFile(false, name.c_str(), 0, 0, BASS_STREAM_DECODE);
  return BASS_StreamCreateFile(false, name.c_str(), 0, 0, BASS_STREAM_DECODE);
}

std::vector<uint8_t> ReadAll(HSTREAM stream, uint32_t chunk = 2048) {
  std::vector<uint8_t> all;
  std::vector<uint8_t> block(chunk);
  for (;;) {
    const uint32_t got = BASS_ChannelGetData(stream, block.data(), chunk);
    if (got == 0 || got == BASS_COUNT_ERROR) break;
    all.insert(all.end(), block.begin(), block.begin() + got);
  }
  return all;
}

void PutLe(std::string& bytes, uint64_t value, int size) {
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>(value >> (8 * i)));
}

// A 16-bit PCM WAV whose data chunk claims `claimedBytes` and holds `realBytes` (of 0x10).
std::string WavBytes(uint32_t rate, uint16_t channels, uint32_t claimedBytes, std::size_t realBytes) {
  std::string wav = "RIFF";
  PutLe(wav, 36 + static_cast<uint64_t>(claimedBytes), 4);
  wav += "WAVEfmt ";
  PutLe(wav, 16, 4);
  PutLe(wav, 1, 2);
  PutLe(wav, channels, 2);
  PutLe(wav, rate, 4);
  PutLe(wav, uint64_t{rate} * channels * 2, 4);
  PutLe(wav, channels * 2u, 2);
  PutLe(wav, 16, 2);
  wav += "data";
  PutLe(wav, claimedBytes, 4);
  wav.append(realBytes, '\x10');
  return wav;
}

// The checksum of an Ogg page (its own checksum field zeroed).
uint32_t OggCrc(const std::string& page) {
  uint32_t crc = 0;
  for (const char byte : page) {
    crc ^= static_cast<uint32_t>(static_cast<uint8_t>(byte)) << 24;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

// The fixture Ogg with its last page claiming `granule` samples.
std::string OggEndingAt(uint64_t granule) {
  std::ifstream in(FixturePath("comments_44100.ogg"), std::ios::binary);
  std::string ogg{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::size_t last = ogg.rfind("OggS");
  std::string field;
  PutLe(field, granule, 8);
  ogg.replace(last + 6, 8, field);
  ogg.replace(last + 22, 4, std::string(4, '\0'));
  field.clear();
  PutLe(field, OggCrc(ogg.substr(last)), 4);
  ogg.replace(last + 22, 4, field);
  return ogg;
}

// The fixture MP3 with its Info header claiming `frames` frames.
std::string Mp3ClaimingFrames(uint32_t frames) {
  std::ifstream in(FixturePath("tagged_22050_64k.mp3"), std::ios::binary);
  std::string mp3{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::size_t info = mp3.find("Info");
  if (info == std::string::npos) return {};
  const char count[4] = {static_cast<char>(frames >> 24), static_cast<char>(frames >> 16),
                         static_cast<char>(frames >> 8), static_cast<char>(frames)};
  mp3.replace(info + 8, 4, count, 4);  // after the tag and its flags
  return mp3;
}

int16_t SampleAt(const std::vector<uint8_t>& pcm, size_t index) {
  return static_cast<int16_t>(pcm[2 * index] | (pcm[2 * index + 1] << 8));
}

class DecodingTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)); }
  void TearDown() override { BASS_Free(); }

  fs::path Scratch(const std::string& name) {
    const fs::path folder = fs::temp_directory_path() / ("murmex_decoding_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    return folder / name;
  }
};

struct Expected {
  std::string File;
  uint32_t Rate;
  uint32_t Channels;
  bool EightBit;
  int64_t ExactFrames;  // -1 when the container only estimates the length
};

TEST_F(DecodingTest, EveryFormatReportsItsRateChannelsAndLength) {
  const std::vector<Expected> cases{
      {"mono_44100.wav", 44100, 1, false, 66150},     {"stereo_22050.wav", 22050, 2, false, 33075},
      {"mono_32000.wav", 32000, 1, false, 48000},     {"stereo_48000.wav", 48000, 2, false, 72000},
      {"u8_mono_22050.wav", 22050, 1, true, 22050},   {"s24_stereo_44100.wav", 44100, 2, false, 44100},
      {"f32_stereo_44100.wav", 44100, 2, false, 44100}, {"six_channel_48000.wav", 48000, 6, false, 48000},
      {"stereo_44100.flac", 44100, 2, false, 66150},  {"stereo_44100.flc", 44100, 2, false, 66150},
      {"tagged_22050_64k.mp3", 22050, 2, false, -1},  {"comments_44100.ogg", 44100, 2, false, -1},
      {"tagged_44100.wma", 44100, 2, false, -1},
  };
  for (const Expected& c : cases) {
    SCOPED_TRACE(c.File);
    const HSTREAM stream = OpenByExtension(FixturePath(c.File));
    ASSERT_NE(stream, 0u);
    BASS_CHANNELINFO info;
    ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
    EXPECT_EQ(info.freq, c.Rate);
    EXPECT_EQ(info.chans, c.Channels);
    EXPECT_EQ((info.flags & BASS_SAMPLE_8BITS) != 0, c.EightBit);
    const uint64_t length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
    ASSERT_NE(length, BASS_POSITION_ERROR);
    const std::vector<uint8_t> pcm = ReadAll(stream);
    const uint64_t frameBytes = 2 * c.Channels;
    EXPECT_EQ(pcm.size() % frameBytes, 0u);
    if (c.ExactFrames >= 0) {
      EXPECT_EQ(length, static_cast<uint64_t>(c.ExactFrames) * frameBytes);
      EXPECT_EQ(pcm.size(), length);
    } else {
      // Lossy containers estimate; the estimate must be near what really decodes.
      EXPECT_NEAR(static_cast<double>(length), static_cast<double>(pcm.size()), 0.1 * static_cast<double>(pcm.size()));
    }
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), pcm.size());
    EXPECT_TRUE(BASS_StreamFree(stream));
  }
}

TEST_F(DecodingTest, WideSamplesArriveAsSixteenBitsOfTheSameSignal) {
  const HSTREAM reference = OpenByExtension(FixturePath("stereo_44100.wav"));
  const std::vector<uint8_t> expected = ReadAll(reference);
  for (const char* file : {"s24_stereo_44100.wav", "f32_stereo_44100.wav", "stereo_44100.flac"}) {
    SCOPED_TRACE(file);
    const std::vector<uint8_t> pcm = ReadAll(OpenByExtension(FixturePath(file)));
    ASSERT_GE(pcm.size(), 44100u * 4);
    int worst = 0;
    for (size_t i = 0; i < 44100 * 2; ++i) worst = std::max(worst, std::abs(SampleAt(pcm, i) - SampleAt(expected, i)));
    EXPECT_LE(worst, 2);
  }
}

TEST_F(DecodingTest, ReadsEndOnWholeFramesAndActivityEndsWithTheData) {
  const HSTREAM stream = OpenByExtension(FixturePath("stereo_22050.wav"));
  std::vector<uint8_t> block(2048);
  EXPECT_EQ(BASS_ChannelGetData(stream, block.data(), 2047), 2044u);
  EXPECT_EQ(BASS_ChannelGetData(stream, block.data(), 3), 0u);
  uint64_t total = 2044;
  while (BASS_ChannelIsActive(stream) == BASS_ACTIVE_PLAYING) {
    const uint32_t got = BASS_ChannelGetData(stream, block.data(), 2048);
    ASSERT_GT(got, 0u);
    ASSERT_EQ(got % 4, 0u);
    total += got;
  }
  EXPECT_EQ(total, BASS_ChannelGetLength(stream, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ChannelGetData(stream, block.data(), 2048), 0u);
}

TEST_F(DecodingTest, RewindGivesTheFirstDecodeByteForByte) {
  for (const char* file : {"stereo_44100.wav", "stereo_44100.flac", "tagged_22050_64k.mp3", "comments_44100.ogg",
                           "tagged_44100.wma"}) {
    SCOPED_TRACE(file);
    const HSTREAM stream = OpenByExtension(FixturePath(file));
    const std::vector<uint8_t> first = ReadAll(stream);
    ASSERT_FALSE(first.empty());
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 0, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), 0u);
    EXPECT_EQ(ReadAll(stream), first);
    // A rewind from the middle of the data as well.
    std::vector<uint8_t> block(2048);
    for (int i = 0; i < 3; ++i) BASS_ChannelGetData(stream, block.data(), 2048);
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 0, BASS_POS_BYTE));
    EXPECT_EQ(ReadAll(stream), first);
  }
}

TEST_F(DecodingTest, SeeksLandOnTheFrameAtOrBeforeTheOffsetAndReadTheRightSamples) {
  for (const char* file : {"stereo_44100.wav", "mono_22050.wav", "stereo_44100.flac"}) {
    SCOPED_TRACE(file);
    const HSTREAM stream = OpenByExtension(FixturePath(file));
    const std::vector<uint8_t> all = ReadAll(stream);
    BASS_CHANNELINFO info;
    BASS_ChannelGetInfo(stream, &info);
    const uint64_t frameBytes = 2 * info.chans;
    // Backwards from the end, forwards from the start, and to offsets inside a frame.
    for (const uint64_t offset : {all.size() / 2 + 3, uint64_t{1001}, all.size() - 2049, uint64_t{7}, all.size() / 3}) {
      ASSERT_TRUE(BASS_ChannelSetPosition(stream, offset, BASS_POS_BYTE));
      const uint64_t landed = offset - offset % frameBytes;
      EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), landed);
      std::vector<uint8_t> block(2048);
      const uint32_t got = BASS_ChannelGetData(stream, block.data(), 2048);
      ASSERT_EQ(got, std::min<uint64_t>(2048, all.size() - landed));
      EXPECT_TRUE(std::equal(block.begin(), block.begin() + got, all.begin() + static_cast<std::ptrdiff_t>(landed)));
    }
    EXPECT_FALSE(BASS_ChannelSetPosition(stream, all.size() + frameBytes, BASS_POS_BYTE));
    EXPECT_TRUE(BASS_ChannelSetPosition(stream, all.size(), BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_STOPPED);
  }
}

TEST_F(DecodingTest, LossySeeksKeepCountingFromTheNewPosition) {
  for (const char* file : {"tagged_22050_64k.mp3", "comments_44100.ogg", "tagged_44100.wma"}) {
    SCOPED_TRACE(file);
    const HSTREAM stream = OpenByExtension(FixturePath(file));
    const std::vector<uint8_t> all = ReadAll(stream);
    const uint64_t target = (all.size() / 2) & ~uint64_t{3};
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, target + 2, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), target);
    const std::vector<uint8_t> rest = ReadAll(stream);
    EXPECT_NEAR(static_cast<double>(rest.size()), static_cast<double>(all.size() - target), 4096.0);
  }
}

TEST_F(DecodingTest, FreedAndUnknownHandlesAreHarmless) {
  const HSTREAM stream = OpenByExtension(FixturePath("mono_44100.wav"));
  EXPECT_TRUE(BASS_StreamFree(stream));
  EXPECT_FALSE(BASS_StreamFree(stream));
  EXPECT_FALSE(BASS_MusicFree(stream));
  EXPECT_FALSE(BASS_StreamFree(0));
  BASS_CHANNELINFO info{1, 2, 3, 4};
  EXPECT_FALSE(BASS_ChannelGetInfo(stream, &info));
  EXPECT_EQ(info.freq, 1u);  // untouched on failure
  EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), BASS_POSITION_ERROR);
  EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_STOPPED);
  uint8_t block[16];
  EXPECT_EQ(BASS_ChannelGetData(stream, block, sizeof block), BASS_COUNT_ERROR);
  const HSTREAM next = OpenByExtension(FixturePath("mono_44100.wav"));
  EXPECT_NE(next, stream);
  EXPECT_NE(next, 0u);
}

TEST_F(DecodingTest, DamagedOrMissingInputFailsOrDecodesWithoutHanging) {
  std::vector<fs::path> inputs{Scratch("missing.wav"), fs::temp_directory_path()};
  std::mt19937 random(7);
  for (const char* ext : {".wav", ".mp3", ".ogg", ".wma", ".flac"}) {
    const fs::path empty = Scratch(std::string("empty") + ext);
    std::ofstream(empty, std::ios::binary).flush();
    const fs::path noise = Scratch(std::string("noise") + ext);
    std::ofstream out(noise, std::ios::binary);
    for (int i = 0; i < 20000; ++i) out.put(static_cast<char>(random()));
    inputs.push_back(empty);
    inputs.push_back(noise);
  }
  for (const char* file : {"tagged_22050_64k.mp3", "comments_44100.ogg", "stereo_44100.flac", "tagged_44100.wma"}) {
    const fs::path truncated = Scratch(std::string("truncated_") + file);
    fs::copy_file(FixturePath(file), truncated, fs::copy_options::overwrite_existing);
    fs::resize_file(truncated, fs::file_size(truncated) * 2 / 3);
    inputs.push_back(truncated);
  }
  for (const fs::path& input : inputs) {
    SCOPED_TRACE(input.string());
    const HSTREAM stream = OpenByExtension(input);
    if (stream == 0) continue;
    BASS_CHANNELINFO info;
    ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
    const std::vector<uint8_t> pcm = ReadAll(stream);
    EXPECT_EQ(pcm.size() % (2 * info.chans), 0u);
    if (input.filename().string().starts_with("truncated_")) {
      EXPECT_GT(pcm.size(), 0u);
    }
  }
  fs::remove_all(Scratch("").parent_path());
}

// A name is always a file: one that reads like an FFmpeg protocol (here a data: URL holding a
// whole, valid WAV) must not be decoded from the name itself.
TEST_F(DecodingTest, ANameThatLooksLikeAProtocolIsOnlyAFile) {
  const std::string wav = WavBytes(8000, 1, 400, 400);
  static const char* const kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string base64;
  for (std::size_t i = 0; i < wav.size(); i += 3) {
    uint32_t group = static_cast<uint8_t>(wav[i]) << 16;
    if (i + 1 < wav.size()) group |= static_cast<uint8_t>(wav[i + 1]) << 8;
    if (i + 2 < wav.size()) group |= static_cast<uint8_t>(wav[i + 2]);
    for (std::size_t k = 0; k < 4; ++k)
      base64.push_back(i + k <= wav.size() ? kDigits[(group >> (18 - 6 * k)) & 0x3F] : '=');
  }
  EXPECT_EQ(BASS_StreamCreateFile(false, ("data:audio/wav;base64," + base64).c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
}

TEST_F(DecodingTest, AWavHeaderClaimingMoreDataThanThereIsGivesTheRealLength) {
  const fs::path cut = Scratch("cut.wav");
  fs::copy_file(FixturePath("stereo_44100.wav"), cut, fs::copy_options::overwrite_existing);
  const uint64_t full = fs::file_size(cut);
  fs::resize_file(cut, full - 40001);  // not a whole frame either
  const HSTREAM stream = OpenByExtension(cut);
  ASSERT_NE(stream, 0u);
  const uint64_t length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
  const std::vector<uint8_t> pcm = ReadAll(stream);
  EXPECT_EQ(pcm.size(), length);
  EXPECT_LT(length, 66150u * 4);
  EXPECT_EQ(length % 4, 0u);
  BASS_StreamFree(stream);
  fs::remove_all(cut.parent_path());
}

struct CraftedFile {
  std::string Name;
  std::string Bytes;
  uint32_t Rate;
  int64_t Length;  // bytes; -1: untold, so the loader calls the file invalid
};

// Headers claiming more than any file holds: the length is the real one, or untold, never an
// overflowed or absurd product; and every rate up to the decoder's highest comes through as it is.
TEST_F(DecodingTest, AbsurdLengthsInHeadersAreNeverTaken) {
  const std::vector<CraftedFile> cases{
      {"huge_data_192k.wav", WavBytes(192000, 2, 0xFFFFFFF0u, 768000), 192000, 768000},
      {"huge_data_1k.wav", WavBytes(1000, 1, 0xFFFFFFF0u, 2000), 1000, 2000},
      {"rate_768k.wav", WavBytes(768000, 1, 1536, 1536), 768000, 1536},
      {"granule_max.ogg", OggEndingAt(0x7FFFFFFFFFFFFFF0u), 44100, -1},
      {"granule_years.ogg", OggEndingAt(uint64_t{1} << 40), 44100, -1},
      {"granule_true.ogg", OggEndingAt(66150), 44100, 66150 * 4},
      {"frames_max.mp3", Mp3ClaimingFrames(0xFFFFFFFFu), 22050, -1},
  };
  for (const CraftedFile& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_FALSE(c.Bytes.empty()) << "the fixture lacks the header to change";
    const fs::path file = Scratch(c.Name);
    std::ofstream(file, std::ios::binary) << c.Bytes;
    const HSTREAM stream = OpenByExtension(file);
    ASSERT_NE(stream, 0u);
    BASS_CHANNELINFO info;
    ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
    EXPECT_EQ(info.freq, c.Rate);
    const uint64_t length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
    EXPECT_EQ(length, c.Length < 0 ? BASS_POSITION_ERROR : static_cast<uint64_t>(c.Length));
    if (c.Length >= 0 && c.Name.ends_with(".wav")) {
      EXPECT_EQ(ReadAll(stream).size(), length);
    }
    BASS_StreamFree(stream);
  }
  fs::remove_all(Scratch("").parent_path());
}

TEST_F(DecodingTest, NonAsciiNamesOpen) {
  const fs::path named = Scratch("Grüße – 音.wav");
  fs::copy_file(FixturePath("mono_44100.wav"), named, fs::copy_options::overwrite_existing);
  const HSTREAM stream = OpenByExtension(named);
  EXPECT_NE(stream, 0u);
  EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), 66150u * 2);
  fs::remove_all(named.parent_path());
}

TEST_F(DecodingTest, TheWrongEntryPointRefusesAFormat) {
  EXPECT_EQ(BASS_StreamCreateFile(false, FixturePath("stereo_44100.flac").c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_FLAC_StreamCreateFile(false, FixturePath("stereo_44100.wav").c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_WMA_StreamCreateFile(false, FixturePath("tagged_22050_64k.mp3").c_str(), 0, 0, BASS_STREAM_DECODE),
            0u);
  EXPECT_EQ(BASS_StreamCreateFile(false, FixturePath("mono_44100.wav").c_str(), 0, 0, 0), 0u);  // not decode-only
}

TEST_F(DecodingTest, ASeekDuringReadsOnAnotherThreadIsSafe) {
  const HSTREAM stream = OpenByExtension(FixturePath("stereo_44100.flac"));
  const uint64_t length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
  std::atomic<bool> stop{false};
  std::atomic<int> misaligned{0};
  std::thread reader([&] {
    std::vector<uint8_t> block(2048);
    while (!stop) {
      const uint32_t got = BASS_ChannelGetData(stream, block.data(), 2048);
      if (got % 4 != 0) ++misaligned;
      BASS_ChannelIsActive(stream);
      BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
    }
  });
  for (int i = 0; i < 200; ++i) {
    EXPECT_TRUE(BASS_ChannelSetPosition(stream, (length * static_cast<uint64_t>(i % 10)) / 10 + 2, BASS_POS_BYTE));
  }
  stop = true;
  reader.join();
  EXPECT_EQ(misaligned, 0);
  EXPECT_LE(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), length);
}

}  // namespace
}  // namespace murmex
