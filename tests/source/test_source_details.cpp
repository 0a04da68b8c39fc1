// Source details: bitrates per format, the tag holders and the suggested output name.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "source/source_details.h"
#include "tests/fixtures/fixture_paths.h"

namespace murmex {
namespace {

using testing::FixturePath;

// The details of a fixture, read as the loader reads them: by what the file holds.
SourceDetails Read(const std::filesystem::path& path, SourceTags& tags) {
  return ReadSourceDetails(path, SourceFormatOf(path, UpperExtension(path)), tags);
}

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

  SourceDetails mp3 = Read(FixturePath("tagged_22050_64k.mp3"), tags);
  EXPECT_EQ(mp3.Kbps, 64);
  EXPECT_EQ(mp3.OutputKbps, 64);
  EXPECT_EQ(mp3.SuggestedName, "Band - Song");
  EXPECT_EQ(tags.Id3v2.Album(), "Record");
  EXPECT_EQ(tags.Id3v1.Title(), "Old Song");
  EXPECT_TRUE(tags.Vorbis.Empty());

  EXPECT_EQ(Read(FixturePath("short_title.mp3"), tags).SuggestedName, "V1 Band - V1 Song");
  EXPECT_EQ(Read(FixturePath("slash_title.mp3"), tags).SuggestedName, "a-bc");
  EXPECT_FALSE(tags.Id3v1.HasTag());

  const SourceDetails wma = Read(FixturePath("tagged_44100.wma"), tags);
  EXPECT_EQ(wma.Kbps, 128);
  EXPECT_EQ(wma.SuggestedName, "Wma Band - Wma Song");

  const SourceDetails ogg = Read(FixturePath("comments_44100.ogg"), tags);
  EXPECT_EQ(ogg.Kbps, 128);
  EXPECT_EQ(ogg.OutputKbps, 128);
  EXPECT_EQ(ogg.SuggestedName, "");  // Vorbis comments do not name the output
  EXPECT_EQ(tags.Vorbis.Title(), "Ogg Song");
  EXPECT_TRUE(tags.Id3v2.Empty());

  // The same bytes under the other name: FLAC is FLAC whatever it is called.
  for (const char* name : {"stereo_44100.flac", "stereo_44100.flc"}) {
    const SourceDetails flac = Read(FixturePath(name), tags);
    EXPECT_EQ(flac.Kbps, 0) << name;
    EXPECT_EQ(flac.OutputKbps, 320) << name;
    EXPECT_TRUE(tags.Vorbis.Empty());
  }

  // WAV: the bitrate from the header, the output bitrates untouched, every holder cleared.
  Read(FixturePath("tagged_22050_64k.mp3"), tags);
  const SourceDetails wav = Read(FixturePath("stereo_44100.wav"), tags);
  EXPECT_EQ(wav.Kbps, 1411);
  EXPECT_FALSE(wav.OutputKbps.has_value());
  EXPECT_EQ(wav.SuggestedName, "");
  EXPECT_TRUE(tags.Id3v2.Empty());
  EXPECT_EQ(tags.Id3v1.Title(), "");
}

TEST(ReadSourceDetailsTest, AReaderThatCannotReadTheFileRaises) {
  SourceTags tags;
  EXPECT_ANY_THROW(Read(FixturePath("missing.wma"), tags));
  EXPECT_ANY_THROW(Read(FixturePath("stereo_44100.wav").replace_extension(".ogg"), tags));
}

}  // namespace
}  // namespace murmex
