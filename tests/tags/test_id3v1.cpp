#include "tags/id3v1.h"

#include <gtest/gtest.h>

#include "tests/tags/tag_test_files.h"

namespace murmex {
namespace {

using test::AudioBytes;
using test::BuildLyrics3;
using test::BuildTag;
using test::RawTag;
using test::ReadBytes;
using test::WriteBytes;

class Id3v1Test : public ::testing::Test {
protected:
    test::TempFolder Folder;
    std::filesystem::path Mp3 = Folder.File("song.mp3");
    std::string Audio = AudioBytes(1000);
    TID3v1 Tag;
};

TEST_F(Id3v1Test, WrittenTagReadsBackWithEveryField) {
    WriteBytes(Mp3, Audio);
    Tag.SetTitle("Title");
    Tag.SetArtist("Artist");
    Tag.SetAlbum("Album");
    Tag.SetYear("1999");
    Tag.SetComment("Comment");
    Tag.SetTrack(7);
    Tag.SetGenreCode(17);
    ASSERT_TRUE(Tag.WriteTagToFile(Mp3));

    const std::string bytes = ReadBytes(Mp3);
    ASSERT_EQ(bytes.size(), Audio.size() + 128);
    EXPECT_EQ(bytes.substr(0, Audio.size()), Audio);

    TID3v1 read;
    ASSERT_TRUE(read.ReadTagFromFile(Mp3));
    EXPECT_TRUE(read.HasTag());
    EXPECT_EQ(read.TagVersion(), 2);
    EXPECT_EQ(read.Title(), "Title");
    EXPECT_EQ(read.Artist(), "Artist");
    EXPECT_EQ(read.Album(), "Album");
    EXPECT_EQ(read.Year(), "1999");
    EXPECT_EQ(read.Comment(), "Comment");
    EXPECT_EQ(read.Track(), 7);
    EXPECT_EQ(read.GenreCode(), 17);
    EXPECT_FALSE(read.HasLyrics3());
}

TEST_F(Id3v1Test, ReadingResetsFieldsFirst) {
    Tag.SetTitle("Stale");
    Tag.SetTrack(3);
    WriteBytes(Mp3, Audio);
    ASSERT_TRUE(Tag.ReadTagFromFile(Mp3));
    EXPECT_FALSE(Tag.HasTag());
    EXPECT_EQ(Tag.Title(), "");
    EXPECT_EQ(Tag.Track(), 0);
    EXPECT_EQ(Tag.GenreCode(), 255);
    EXPECT_EQ(Tag.TagVersion(), 1);
}

TEST_F(Id3v1Test, VersionFollowsBytes125And126) {
    struct Case {
        unsigned char b125, b126;
        int version;
        std::string comment;
        int track;
    };
    const std::string comment30 = "abcdefghijklmnopqrstuvwxyz0123";
    const Case cases[] = {
        {0, 5, 2, comment30.substr(0, 28), 5},
        {0, 0, 1, comment30.substr(0, 28), 0},  // zero bytes end the 30-byte comment
        {' ', 'x', 2, comment30.substr(0, 28), 'x'},
        {' ', ' ', 1, comment30.substr(0, 28), 0},  // trailing blanks are trimmed
        {'1', '2', 1, comment30.substr(0, 28) + "12", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int{c.b125} << "," << int{c.b126});
        WriteBytes(Mp3, Audio + BuildTag({.Comment = comment30.substr(0, 28), .Byte125 = c.b125, .Byte126 = c.b126}));
        ASSERT_TRUE(Tag.ReadTagFromFile(Mp3));
        EXPECT_EQ(Tag.TagVersion(), c.version);
        EXPECT_EQ(Tag.Comment(), c.comment);
        EXPECT_EQ(Tag.Track(), c.track);
    }
}

TEST_F(Id3v1Test, CommentUsesThirtyBytesOnlyWithoutTrack) {
    const std::string comment30 = "abcdefghijklmnopqrstuvwxyz0123";
    WriteBytes(Mp3, Audio);
    Tag.SetComment(comment30);
    ASSERT_TRUE(Tag.SaveTagToFile(Mp3));
    std::string tag = ReadBytes(Mp3).substr(Audio.size());
    EXPECT_EQ(tag.substr(97, 30), comment30);

    Tag.SetTrack(9);
    ASSERT_TRUE(Tag.SaveTagToFile(Mp3));
    tag = ReadBytes(Mp3).substr(Audio.size());
    EXPECT_EQ(tag.substr(97, 28), comment30.substr(0, 28));
    EXPECT_EQ(tag[125], '\0');
    EXPECT_EQ(tag[126], '\x09');

    TID3v1 read;
    ASSERT_TRUE(read.ReadTagFromFile(Mp3));
    EXPECT_EQ(read.Comment(), comment30.substr(0, 28));
    EXPECT_EQ(read.Track(), 9);
}

TEST_F(Id3v1Test, SettersTrimAndLongTitleIsWrittenAsThirtyCharacters) {
    Tag.SetYear("  19995 ");
    EXPECT_EQ(Tag.Year(), "1999");
    Tag.SetYear("éééééé");
    EXPECT_EQ(Tag.Year(), "éééé");

    const std::string title40 = "0123456789012345678901234567890123456789";
    Tag.SetTitle(title40);
    EXPECT_EQ(Tag.Title(), title40);
    EXPECT_EQ(Tag.LongTitle(), title40);
    Tag.SetTitle("  Short  ");
    EXPECT_EQ(Tag.Title(), "Short");
    EXPECT_EQ(Tag.LongTitle(), "");

    // Thirty characters are not long; thirty-one are.
    Tag.SetArtist(std::string(30, 'a'));
    EXPECT_EQ(Tag.LongArtist(), "");
    Tag.SetArtist(std::string(31, 'a'));
    EXPECT_EQ(Tag.LongArtist(), std::string(31, 'a'));

    Tag.SetTitle(title40);
    WriteBytes(Mp3, Audio);
    ASSERT_TRUE(Tag.WriteTagToFile(Mp3));
    EXPECT_EQ(ReadBytes(Mp3).substr(Audio.size() + 3, 30), title40.substr(0, 30));
    TID3v1 read;
    ASSERT_TRUE(read.ReadTagFromFile(Mp3));
    EXPECT_EQ(read.Title(), title40.substr(0, 30));
    EXPECT_EQ(read.LongTitle(), "");
}

TEST_F(Id3v1Test, TextsAreLatin1OnDiskAndUtf8InMemory) {
    // 27 accented characters are 54 UTF-8 bytes: long in memory, and cut after 30 characters.
    const std::string title = "Café Déjà " + std::string("ééééééééééééééééééééé") + "zzzz";
    Tag.SetTitle(title);
    Tag.SetArtist("€uro – Straße");
    Tag.SetAlbum("日本");
    WriteBytes(Mp3, Audio);
    ASSERT_TRUE(Tag.WriteTagToFile(Mp3));

    const std::string tag = ReadBytes(Mp3).substr(Audio.size());
    EXPECT_EQ(tag.substr(3, 30), "Caf\xE9 D\xE9j\xE0 " + std::string(20, '\xE9'));
    EXPECT_EQ(tag.substr(33, 13), "\x80uro \x96 Stra\xDF" "e");
    EXPECT_EQ(tag.substr(63, 3), std::string("??\0", 3));

    TID3v1 read;
    ASSERT_TRUE(read.ReadTagFromFile(Mp3));
    EXPECT_EQ(read.Title(), "Café Déjà " + std::string("éééééééééééééééééééé"));
    EXPECT_EQ(read.Artist(), "€uro – Straße");
    EXPECT_EQ(read.Album(), "??");
}

TEST_F(Id3v1Test, FieldEndsAtItsFirstZeroByte) {
    WriteBytes(Mp3, Audio + BuildTag({.Title = std::string("New\0old title", 13), .Year = std::string("19\0x", 4)}));
    ASSERT_TRUE(Tag.ReadTagFromFile(Mp3));
    EXPECT_EQ(Tag.Title(), "New");
    EXPECT_EQ(Tag.Year(), "19");
}

TEST_F(Id3v1Test, RemovalCutsTagAndLyricsBlock) {
    const std::string lyrics = BuildLyrics3({{"IND", "10"}, {"LYR", "la la"}});
    WriteBytes(Mp3, Audio + lyrics + BuildTag({.Title = "T"}));
    Tag.SetTitle("kept");
    ASSERT_TRUE(Tag.RemoveTagFromFile(Mp3));
    EXPECT_EQ(ReadBytes(Mp3), Audio);
    EXPECT_FALSE(Tag.HasTag());
    EXPECT_FALSE(Tag.HasLyrics3());
    EXPECT_EQ(Tag.Title(), "kept");

    // A Lyrics3 block at the very end of the file, without a tag.
    WriteBytes(Mp3, Audio + lyrics);
    ASSERT_TRUE(Tag.RemoveTagFromFile(Mp3));
    EXPECT_EQ(ReadBytes(Mp3), Audio);

    // Neither: nothing changes, and an earlier file's findings do not count.
    WriteBytes(Mp3, Audio + lyrics + BuildTag({}));
    ASSERT_TRUE(Tag.ReadTagFromFile(Mp3));
    ASSERT_TRUE(Tag.HasTag() && Tag.HasLyrics3());
    const auto plain = Folder.File("plain.mp3");
    WriteBytes(plain, Audio);
    EXPECT_TRUE(Tag.RemoveTagFromFile(plain));
    EXPECT_EQ(ReadBytes(plain), Audio);
    EXPECT_FALSE(Tag.HasTag());
    EXPECT_FALSE(Tag.HasLyrics3());
}

TEST_F(Id3v1Test, DamagedLyricsFooterLeavesOnlyTheTagToCut) {
    std::string lyrics = BuildLyrics3({{"LYR", "words"}});
    std::string badDigits = lyrics;
    badDigits.replace(badDigits.size() - 15, 6, "00x012");
    std::string noMarker = lyrics;
    noMarker.replace(0, 11, "LYRICSBEGAN");
    for (const std::string& block : {badDigits, noMarker}) {
        WriteBytes(Mp3, Audio + block + BuildTag({}));
        ASSERT_TRUE(Tag.ReadTagFromFile(Mp3));
        EXPECT_TRUE(Tag.HasTag());
        EXPECT_FALSE(Tag.HasLyrics3());
        EXPECT_EQ(Tag.Lyrics3Size(), 0);
        ASSERT_TRUE(Tag.RemoveTagFromFile(Mp3));
        EXPECT_EQ(ReadBytes(Mp3), Audio + block);
    }
}

TEST_F(Id3v1Test, SavingReplacesTheWritersPlaceholderTrailer) {
    WriteBytes(Mp3, Audio + BuildTag({}));
    Tag.SetTitle("take1");
    Tag.SetComment("Denoised by Tarlo Murmex");
    ASSERT_TRUE(Tag.SaveTagToFile(Mp3));
    EXPECT_TRUE(Tag.HasTag());
    ASSERT_TRUE(Tag.SaveTagToFile(Mp3));

    const std::string bytes = ReadBytes(Mp3);
    ASSERT_EQ(bytes.size(), Audio.size() + 128);
    TID3v1 read;
    ASSERT_TRUE(read.ReadTagFromFile(Mp3));
    EXPECT_EQ(read.Title(), "take1");
    EXPECT_EQ(read.Comment(), "Denoised by Tarlo Murmex");
    EXPECT_EQ(read.Year(), "");
    EXPECT_EQ(read.Track(), 0);
    EXPECT_EQ(read.GenreCode(), 255);
}

TEST_F(Id3v1Test, ShortFilesHaveNoTagAndGainOneWhenSaved) {
    for (const std::size_t size : {0, 14, 15, 127}) {
        SCOPED_TRACE(size);
        const std::string bytes = size >= 3 ? "TAG" + std::string(size - 3, 'x') : std::string(size, 'x');
        WriteBytes(Mp3, bytes);
        EXPECT_TRUE(Tag.ReadTagFromFile(Mp3));
        EXPECT_FALSE(Tag.HasTag());
        EXPECT_FALSE(Tag.HasLyrics3());
        Tag.SetTitle("short");
        EXPECT_TRUE(Tag.SaveTagToFile(Mp3));
        EXPECT_EQ(ReadBytes(Mp3).size(), size + 128);
    }
}

TEST_F(Id3v1Test, MissingFilesAndFoldersFail) {
    const auto missing = Folder.File("missing.mp3");
    const auto folder = Folder.File("folder.mp3");
    std::filesystem::create_directory(folder);
    for (const auto& path : {missing, folder}) {
        SCOPED_TRACE(path.string());
        EXPECT_FALSE(Tag.ReadTagFromFile(path));
        EXPECT_FALSE(Tag.WriteTagToFile(path));
        EXPECT_FALSE(Tag.RemoveTagFromFile(path));
        EXPECT_FALSE(Tag.SaveTagToFile(path));
        EXPECT_FALSE(Tag.HasTag());
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(Id3v1Test, ReadOnlyFilesAreLeftUnchanged) {
    const std::string original = Audio + BuildLyrics3({{"LYR", "x"}}) + BuildTag({.Title = "T"});
    WriteBytes(Mp3, original);
    // Marked read-only: refused even where the process could write (as root it could).
    std::filesystem::permissions(Mp3, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                          std::filesystem::perms::others_read);
    Tag.SetTitle("new");
    EXPECT_FALSE(Tag.RemoveTagFromFile(Mp3));
    EXPECT_FALSE(Tag.WriteTagToFile(Mp3));
    EXPECT_FALSE(Tag.SaveTagToFile(Mp3));
    EXPECT_EQ(ReadBytes(Mp3), original);
    EXPECT_TRUE(Tag.ReadTagFromFile(Mp3));
    EXPECT_EQ(Tag.Title(), "T");
}

TEST_F(Id3v1Test, FilesOtherUsersOwnCannotBeChangedOrRead) {
    const std::string original = Audio + BuildTag({.Title = "T"});
    WriteBytes(Mp3, original);  // mode 0644: readable, not writable for another user
    const auto secret = Folder.File("secret.mp3");
    WriteBytes(secret, original);
    std::filesystem::permissions(secret, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    EXPECT_TRUE(test::RunUnprivileged([&] {
        TID3v1 tag;
        return tag.ReadTagFromFile(Mp3) && tag.Title() == "T" && !tag.RemoveTagFromFile(Mp3) &&
               !tag.SaveTagToFile(Mp3) && !tag.ReadTagFromFile(secret) && !tag.RemoveTagFromFile(secret);
    }));
    EXPECT_EQ(ReadBytes(Mp3), original);
    EXPECT_EQ(ReadBytes(secret), original);
}

}  // namespace
}  // namespace murmex
