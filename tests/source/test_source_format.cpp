// What a file holds, from its first bytes, and the extension only where those do not tell.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "source/source_details.h"
#include "source/source_format.h"
#include "tests/fixtures/fixture_paths.h"

namespace murmex {
namespace {

namespace fs = std::filesystem;
using testing::FixturePath;

TEST(SourceFormatTest, TheFirstBytesDecideAndTheExtensionOnlyWhereTheyDoNotTell) {
  const fs::path folder = fs::temp_directory_path() / ("murmex_format_" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const auto made = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(folder / name, std::ios::binary) << bytes;
    return folder / name;
  };
  // An ID3v2 tag of 20 bytes (synchsafe size) before the stream it belongs to.
  const std::string id3 = std::string("ID3\x03\x00\x00\x00\x00\x00\x14", 10) + std::string(20, '\0');
  const std::string mpegFrame = "\xFF\xFB\x90\x64";
  struct Case {
    fs::path File;
    SourceFormat Expected;
  };
  const std::vector<Case> cases{
      {FixturePath("mono_44100.wav"), SourceFormat::Wav},
      {FixturePath("tagged_22050_64k.mp3"), SourceFormat::Mp3},
      {FixturePath("comments_44100.ogg"), SourceFormat::OggVorbis},
      {FixturePath("opus_48000.ogg"), SourceFormat::OggOther},
      {FixturePath("flac_in_ogg_44100.ogg"), SourceFormat::OggOther},
      {FixturePath("tagged_44100.wma"), SourceFormat::Wma},
      {FixturePath("stereo_44100.flc"), SourceFormat::Flac},
      {made("flac_behind_id3.mp3", id3 + "fLaC" + std::string(100, '\0')), SourceFormat::Flac},
      {made("bare_frames.ogg", mpegFrame + std::string(400, '\0')), SourceFormat::Mp3},
      {made("reserved_layer.ogg", "\xFF\xF9\x90\x64" + std::string(400, '\0')), SourceFormat::OggVorbis},
      {made("cut_page.flac", "OggS\x00\x02"), SourceFormat::OggOther},
      {made("riff_not_wave.wma", "RIFF\x10\x00\x00\x00" "AVI LIST"), SourceFormat::Wma},
      {made("text.flc", "just some text"), SourceFormat::Flac},
      {made("empty.wav", ""), SourceFormat::Wav},
      {made("text.opus", "just some text"), SourceFormat::Unknown},
      {folder / "missing.xyz", SourceFormat::Unknown},
  };
  for (const Case& c : cases) EXPECT_EQ(SourceFormatOf(c.File, UpperExtension(c.File)), c.Expected) << c.File.filename();
  fs::remove_all(folder);
}

}  // namespace
}  // namespace murmex
