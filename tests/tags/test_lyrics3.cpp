#include <gtest/gtest.h>

#include "tags/id3v1.h"
#include "tests/tags/tag_test_files.h"

namespace murmex {
namespace {

using test::AudioBytes;
using test::BuildLyrics3;
using test::BuildTag;
using test::RawTag;
using test::ReadBytes;
using test::WriteBytes;

class Lyrics3Test : public ::testing::Test {
protected:
    test::TempFolder Folder;
    std::filesystem::path Mp3 = Folder.File("song.mp3");
    std::string Audio = AudioBytes(600);
    TID3v1 Tag;
};

TEST_F(Lyrics3Test, FieldsFillTheTagObject) {
    const std::string longTitle = "A title much longer than thirty characters";
    const std::string block = BuildLyrics3({
        {"IND", "110"},
        {"LYR", "\r\n first\rsecond\r\nthird\nfourth\r\n\n"},
        {"INF", " Info\xE9 "},
        {"AUT", " Author "},
        {"EAL", "Extended album"},
        {"EAR", "Extended artist"},
        {"ETT", longTitle},
        {"IMG", " cover.jpg||\r\n"},
    });
    WriteBytes(Mp3, Audio + block + BuildTag({.Title = "Short title", .Album = "Album"}));

    ASSERT_TRUE(Tag.ReadTagFromFile(Mp3));
    EXPECT_TRUE(Tag.HasTag());
    EXPECT_TRUE(Tag.HasLyrics3());
    EXPECT_EQ(Tag.Lyrics3Size(), static_cast<int32_t>(block.size() - 15));
    EXPECT_EQ(Tag.Lyrics(), "first\r\nsecond\r\nthird\nfourth");
    EXPECT_EQ(Tag.Comment(), "Infoé");
    EXPECT_EQ(Tag.LyricsAuthor(), "Author");
    EXPECT_EQ(Tag.Album(), "Extended album");
    EXPECT_EQ(Tag.Artist(), "Extended artist");
    EXPECT_EQ(Tag.Title(), longTitle);
    EXPECT_EQ(Tag.LongTitle(), longTitle);
    EXPECT_EQ(Tag.LyricsImage(), " cover.jpg||\r\n");
}

TEST_F(Lyrics3Test, LyricsLineEndsBecomeCarriageReturnLineFeed) {
    struct Case {
        std::string stored, read;
    };
    const Case cases[] = {
        {"a\rb", "a\r\nb"},
        {"a\r\nb", "a\r\nb"},
        {"a\nb", "a\nb"},
        {"a\r\n\nb", "a\r\n\nb"},
        {"a\r\rb", "a\r\n\r\nb"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.stored));
        WriteBytes(Mp3, Audio + BuildLyrics3({{"LYR", c.stored}}));
        ASSERT_TRUE(Tag.ReadTagFromFile(Mp3));
        EXPECT_FALSE(Tag.HasTag());
        EXPECT_TRUE(Tag.HasLyrics3());
        EXPECT_EQ(Tag.Lyrics(), c.read);
    }
}

TEST_F(Lyrics3Test, UnknownFieldOrNonDigitLengthEndsTheWalk) {
    WriteBytes(Mp3, Audio + BuildLyrics3({{"AUT", "me"}, {"XYZ", "?"}, {"ETT", "never"}}) + BuildTag({}));
    ASSERT_TRUE(Tag.ReadTagFromFile(Mp3));
    EXPECT_EQ(Tag.LyricsAuthor(), "me");
    EXPECT_EQ(Tag.Title(), "");

    std::string block = BuildLyrics3({{"AUT", "me"}, {"ETT", "never"}});
    block.replace(11 + 8 + 2 + 3, 5, "0x005");
    WriteBytes(Mp3, Audio + block + BuildTag({}));
    ASSERT_TRUE(Tag.ReadTagFromFile(Mp3));
    EXPECT_TRUE(Tag.HasLyrics3());
    EXPECT_EQ(Tag.LyricsAuthor(), "me");
    EXPECT_EQ(Tag.Title(), "");
}

TEST_F(Lyrics3Test, FieldRunningPastTheBlockIsDamage) {
    std::string block = BuildLyrics3({{"AUT", "me"}, {"ETT", "title"}});
    block.replace(11 + 8 + 2 + 3, 5, "00200");
    WriteBytes(Mp3, Audio + block + BuildTag({.Title = "Tag title"}));
    EXPECT_FALSE(Tag.ReadTagFromFile(Mp3));
    EXPECT_TRUE(Tag.HasLyrics3());
    EXPECT_EQ(Tag.LyricsAuthor(), "me");  // what was read before the damage stays
    EXPECT_EQ(Tag.Title(), "Tag title");

    // Removal only needs the block's size, which is intact.
    EXPECT_TRUE(Tag.RemoveTagFromFile(Mp3));
    EXPECT_EQ(ReadBytes(Mp3), Audio);
}

TEST_F(Lyrics3Test, FooterSizeOutsideTheFileNamesNoBlock) {
    // Sizes that reach before the start of the file, or leave no room for the start marker.
    for (const char* digits : {"999999", "000616", "000010", "000000"}) {
        SCOPED_TRACE(digits);
        const std::string data = "LYRICSBEGIN" + Audio + digits + "LYRICS200";
        WriteBytes(Mp3, data + BuildTag({}));
        ASSERT_TRUE(Tag.ReadTagFromFile(Mp3));
        EXPECT_FALSE(Tag.HasLyrics3());
        EXPECT_EQ(Tag.Lyrics3Size(), 0);
        ASSERT_TRUE(Tag.RemoveTagFromFile(Mp3));
        EXPECT_EQ(ReadBytes(Mp3), data);
    }
}

TEST_F(Lyrics3Test, EveryFooterSizeStaysInsideTheFile) {
    // A block whose marker sits at the very start of the file, then every size a footer could
    // claim around it: only the exact size names a block, none reads or cuts outside the file.
    const std::string body = "LYRICSBEGIN" "LYR00003abc";
    for (std::size_t size = 0; size <= body.size() + 20; ++size) {
        char digits[24];
        std::snprintf(digits, sizeof digits, "%06zu", size);
        const std::string data = body + digits + "LYRICS200";
        WriteBytes(Mp3, data + BuildTag({}));
        SCOPED_TRACE(size);
        TID3v1 tag;
        ASSERT_TRUE(tag.ReadTagFromFile(Mp3));
        EXPECT_EQ(tag.HasLyrics3(), size == body.size());
        ASSERT_TRUE(tag.RemoveTagFromFile(Mp3));
        EXPECT_EQ(ReadBytes(Mp3), size == body.size() ? "" : data);
    }
}

}  // namespace
}  // namespace murmex
