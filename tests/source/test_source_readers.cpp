// The MP3/WMA media-attribute reader and the Ogg comment reader on generated files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "encoders/media_attribute_reader.h"
#include "encoders/vorbis_comment_reader.h"
#include "pipeline/au_exception.h"
#include "tests/fixtures/fixture_paths.h"
#include "tests/fuzz/ogg_checksums.h"

namespace murmex {
namespace {

using testing::FixturePath;

TEST(MediaAttributeReaderTest, Mp3BitrateAndId3v2FramesFillTheAttributesAndTags) {
  TMediaAttributeReader reader;
  reader.Open(FixturePath("tagged_22050_64k.mp3"));
  EXPECT_EQ(reader.Bitrate(), 64000);
  EXPECT_EQ(reader.Attribute("Bitrate"), "64000");
  EXPECT_EQ(reader.Attribute("Author"), "Band");
  EXPECT_EQ(reader.Attribute("WM/AlbumTitle"), "Record");
  const TId3v2Tags& tags = reader.Id3v2Tags();
  EXPECT_FALSE(tags.Empty());
  EXPECT_EQ(tags.Artist(), "Band");
  EXPECT_EQ(tags.Title(), "Song");
  EXPECT_EQ(tags.Album(), "Record");
  EXPECT_EQ(tags.Genre(), "Rock");
  EXPECT_EQ(tags.Track(), "3");
  EXPECT_EQ(tags.Year(), "1999");
  EXPECT_EQ(tags.Comment(), "Free");  // "Copyright" is carried as the comment
}

TEST(MediaAttributeReaderTest, WmaAttributesFillTheTagsAndAnotherOpenStartsAfresh) {
  TMediaAttributeReader reader;
  reader.Open(FixturePath("tagged_44100.wma"));
  EXPECT_EQ(reader.Bitrate(), 128000);
  EXPECT_EQ(reader.Id3v2Tags().Artist(), "Wma Band");
  EXPECT_EQ(reader.Id3v2Tags().Title(), "Wma Song");
  EXPECT_EQ(reader.Id3v2Tags().Album(), "Wma Record");
  EXPECT_EQ(reader.Id3v2Tags().Genre(), "Pop");
  EXPECT_EQ(reader.Id3v2Tags().Track(), "4");
  EXPECT_EQ(reader.Id3v2Tags().Year(), "2010");
  EXPECT_EQ(reader.Id3v2Tags().Comment(), "Mine");

  reader.Open(FixturePath("slash_title.mp3"));
  EXPECT_EQ(reader.Id3v2Tags().Title(), "a/b:c");
  EXPECT_EQ(reader.Id3v2Tags().Artist(), "");
  EXPECT_EQ(reader.Attribute("Author"), "");
  reader.Close();
  EXPECT_EQ(reader.Bitrate(), 0);
}

// FFmpeg shows an MP3's ID3v1 trailer as container metadata; without an ID3v2 tag the attribute
// set stays empty, so the load falls back to the ID3v1 tag for the suggested name.
TEST(MediaAttributeReaderTest, Mp3WithOnlyAnId3v1TrailerGivesNoAttributes) {
  std::ifstream in(FixturePath("tagged_22050_64k.mp3"), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.compare(0, 3, "ID3"), 0);
  const auto size = [&](int i) { return static_cast<std::size_t>(static_cast<unsigned char>(bytes[i]) & 0x7F); };
  const std::size_t id3v2End = 10 + (size(6) << 21 | size(7) << 14 | size(8) << 7 | size(9));
  const std::filesystem::path stripped =
      std::filesystem::temp_directory_path() / ("murmex-v1-only-" + std::to_string(::getpid()) + ".mp3");
  std::ofstream(stripped, std::ios::binary) << bytes.substr(id3v2End);

  TMediaAttributeReader reader;
  reader.Open(stripped);
  std::filesystem::remove(stripped);
  EXPECT_EQ(reader.Bitrate(), 64000);
  EXPECT_TRUE(reader.Id3v2Tags().Empty());
  EXPECT_EQ(reader.Attribute("Title"), "");
}

// An ID3v2 tag whose size field is damaged makes FFmpeg report the ID3v1 trailer's raw
// Windows-1252 bytes; the attributes still come out as valid UTF-8.
TEST(MediaAttributeReaderTest, RawBytesFromADamagedTagAreMadeValidUtf8) {
  std::ifstream in(FixturePath("tagged_22050_64k.mp3"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  bytes.replace(14, 4, std::string("\x00\x00\x40\x06", 4));
  bytes.replace(bytes.size() - 128 + 63, 4, std::string("\xE9t\xE9\x00", 4));
  const std::filesystem::path damaged =
      std::filesystem::temp_directory_path() / ("murmex-damaged-id3-" + std::to_string(::getpid()) + ".mp3");
  std::ofstream(damaged, std::ios::binary) << bytes;

  TMediaAttributeReader reader;
  reader.Open(damaged);
  std::filesystem::remove(damaged);
  EXPECT_EQ(reader.Attribute("WM/AlbumTitle"), "\u00E9t\u00E9");
}

TEST(MediaAttributeReaderTest, FilesThatAreNotMediaRaise) {
  TMediaAttributeReader reader;
  EXPECT_THROW(reader.Open(FixturePath("no-such-file.mp3")), EAuException);
  EXPECT_THROW(reader.Open(FixturePath("")), EAuException);  // the folder itself
  // A name that reads like one of FFmpeg's protocols is still only a (missing) file.
  EXPECT_THROW(reader.Open("data:audio/mpeg;base64,AAAA"), EAuException);
}

TEST(VorbisCommentReaderTest, NominalBitrateAndKnownCommentsWhateverTheirCase) {
  TVorbisCommentReader reader;
  reader.Open(FixturePath("comments_44100.ogg"));
  EXPECT_EQ(reader.NominalBitrate(), 128000);
  const TVorbisTags& comments = reader.Comments();
  EXPECT_EQ(comments.Title(), "Ogg Song");    // written as TITLE
  EXPECT_EQ(comments.Artist(), "Ogg Band");   // written as Artist
  EXPECT_EQ(comments.Album(), "Ogg Record");
  EXPECT_EQ(comments.Date(), "2004");
  EXPECT_EQ(comments.Track(), "5");
  EXPECT_EQ(comments.Genre(), "Jazz");
  EXPECT_EQ(comments.AsText("comment"), "");  // not a carried key
}

// Comment values are whatever bytes the file holds; bytes that are not UTF-8 are read as
// Windows-1252. The second case is a damaged comment found by fuzzing.
TEST(VorbisCommentReaderTest, CommentsThatAreNotUtf8AreMadeValid) {
  struct Case {
    std::string written, damaged, key, read;
  };
  const Case cases[] = {{"Artist=Ogg Band", "Artist=Ogg B\xE4nd", "artist", "Ogg Bänd"},
                        {"album=Ogg Record", "album=Og\xA0`S\x8A\xD8Urd", "album", "Og\u00A0`SŠØUrd"}};
  std::ifstream in(FixturePath("comments_44100.ogg"), std::ios::binary);
  const std::vector<uint8_t> fixture((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = fixture;
    const auto at = std::search(bytes.begin(), bytes.end(), c.written.begin(), c.written.end());
    ASSERT_NE(at, bytes.end()) << c.written;
    std::copy(c.damaged.begin(), c.damaged.end(), at);
    fuzz::RepairOggChecksums(bytes);
    const std::filesystem::path damaged =
        std::filesystem::temp_directory_path() / ("murmex-comments-" + std::to_string(::getpid()) + ".ogg");
    std::ofstream(damaged, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   static_cast<std::streamsize>(bytes.size()));

    TVorbisCommentReader reader;
    reader.Open(damaged);
    std::filesystem::remove(damaged);
    EXPECT_EQ(reader.Comments().AsText(c.key), c.read);
    EXPECT_EQ(reader.Comments().Title(), "Ogg Song");
  }
}

TEST(VorbisCommentReaderTest, AnythingButOggVorbisRaises) {
  TVorbisCommentReader reader;
  EXPECT_THROW(reader.Open(FixturePath("stereo_44100.wav")), EAuException);
  EXPECT_THROW(reader.Open(FixturePath("no-such-file.ogg")), EAuException);
  EXPECT_TRUE(reader.Comments().Empty());
  EXPECT_EQ(reader.NominalBitrate(), 0);
}

}  // namespace
}  // namespace murmex
