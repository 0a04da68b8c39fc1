// Source details: bitrates per format, the tag holders and the suggested output name.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "source/source_details.h"
#include "tests/fixtures/fixture_paths.h"

namespace murmex {
namespace {

using testing::FixturePath;

class KbpsRecorder : public OutputDefaults {
 public:
  void ApplySourceKbps(int kbps) override { Applied = kbps; }
  void UpdateWavKbps(int64_t, int64_t) override {}
  std::optional<int> Applied;
};

TEST(SuggestOutputNameTest, ArtistAndTitleFromId3v2ElseId3v1) {
  TId3v2Tags id3v2;
  TID3v1 id3v1;
  id3v1.SetTitle("Old");
  id3v1.SetArtist("Group");
  EXPECT_EQ(SuggestOutputName(id3v2, id3v1), "Group - Old");  // no ID3v2 fields at all

  id3v2.SetTitle("Song");
  id3v2.SetArtist("Band");
  EXPECT_EQ(SuggestOutputName(id3v2, id3v1), "Band - Song");
  id3v2.SetArtist("B");
  EXPECT_EQ(SuggestOutputName(id3v2, id3v1), "Song");
  id3v2.SetTitle(std::string("Song\0junk", 9));
  id3v2.SetArtist(std::string("Band\0", 5));
  EXPECT_EQ(SuggestOutputName(id3v2, id3v1), "Band - Song");
  id3v2.SetTitle("a/b:c\\d");
  EXPECT_EQ(SuggestOutputName(id3v2, id3v1), "Band - a-bc-d");

  id3v2.SetTitle("X");  // one character: the ID3v1 tag decides
  EXPECT_EQ(SuggestOutputName(id3v2, id3v1), "Group - Old");
  id3v1.SetArtist("G");
  EXPECT_EQ(SuggestOutputName(id3v2, id3v1), "Old");
  id3v1.SetTitle("O");
  EXPECT_EQ(SuggestOutputName(id3v2, id3v1), "");
  id3v2.SetTitle("ÄÖ");  // two characters in four bytes
  EXPECT_EQ(SuggestOutputName(id3v2, id3v1), "Band - ÄÖ");
}

TEST(CutAtNulTest, KeepsWhatComesBeforeTheFirstNul) {
  EXPECT_EQ(CutAtNul(std::string("ab\0cd\0", 6)), "ab");
  EXPECT_EQ(CutAtNul("abc"), "abc");
  EXPECT_EQ(CutAtNul(std::string("\0x", 2)), "");
}

TEST(ReadSourceDetailsTest, EachFormatSetsItsBitrateDefaultsAndTags) {
  SourceTags tags;
  KbpsRecorder outputs;

  SourceDetails mp3 = ReadSourceDetails(FixturePath("tagged_22050_64k.mp3"), tags, outputs);
  EXPECT_EQ(mp3.Kbps, 64);
  EXPECT_EQ(outputs.Applied, 64);
  EXPECT_EQ(mp3.SuggestedName, "Band - Song");
  EXPECT_EQ(tags.Id3v2.Album(), "Record");
  EXPECT_EQ(tags.Id3v1.Title(), "Old Song");
  EXPECT_TRUE(tags.Vorbis.Empty());

  EXPECT_EQ(ReadSourceDetails(FixturePath("short_title.mp3"), tags, outputs).SuggestedName, "V1 Band - V1 Song");
  EXPECT_EQ(ReadSourceDetails(FixturePath("slash_title.mp3"), tags, outputs).SuggestedName, "a-bc");
  EXPECT_FALSE(tags.Id3v1.HasTag());

  const SourceDetails wma = ReadSourceDetails(FixturePath("tagged_44100.wma"), tags, outputs);
  EXPECT_EQ(wma.Kbps, 128);
  EXPECT_EQ(wma.SuggestedName, "Wma Band - Wma Song");

  outputs.Applied.reset();
  const SourceDetails ogg = ReadSourceDetails(FixturePath("comments_44100.ogg"), tags, outputs);
  EXPECT_EQ(ogg.Kbps, 128);
  EXPECT_EQ(outputs.Applied, 128);
  EXPECT_EQ(ogg.SuggestedName, "");  // Vorbis comments do not name the output
  EXPECT_EQ(tags.Vorbis.Title(), "Ogg Song");
  EXPECT_TRUE(tags.Id3v2.Empty());

  outputs.Applied.reset();
  const SourceDetails flac = ReadSourceDetails(FixturePath("stereo_44100.flac"), tags, outputs);
  EXPECT_EQ(flac.Kbps, 0);
  EXPECT_EQ(outputs.Applied, 320);
  EXPECT_TRUE(tags.Vorbis.Empty());

  // WAV: the bitrate from the header, the output bitrates untouched, every holder cleared.
  ReadSourceDetails(FixturePath("tagged_22050_64k.mp3"), tags, outputs);
  outputs.Applied.reset();
  const SourceDetails wav = ReadSourceDetails(FixturePath("stereo_44100.wav"), tags, outputs);
  EXPECT_EQ(wav.Kbps, 1411);
  EXPECT_FALSE(outputs.Applied.has_value());
  EXPECT_EQ(wav.SuggestedName, "");
  EXPECT_TRUE(tags.Id3v2.Empty());
  EXPECT_EQ(tags.Id3v1.Title(), "");

  EXPECT_EQ(ReadSourceDetails(FixturePath("stereo_44100.flc"), tags, outputs).Kbps, 0);
  EXPECT_FALSE(outputs.Applied.has_value());
}

TEST(ReadSourceDetailsTest, AReaderThatCannotReadTheFileRaises) {
  SourceTags tags;
  KbpsRecorder outputs;
  EXPECT_ANY_THROW(ReadSourceDetails(FixturePath("missing.wma"), tags, outputs));
  EXPECT_ANY_THROW(ReadSourceDetails(FixturePath("stereo_44100.wav").replace_extension(".ogg"), tags, outputs));
  EXPECT_FALSE(outputs.Applied.has_value());
}

}  // namespace
}  // namespace murmex
