#include "tags/au_tags.h"

#include <gtest/gtest.h>

#include <vector>

namespace murmex {
namespace {

std::vector<std::string> Keys(const TAuTags& tags) {
    std::vector<std::string> keys;
    for (int i = 0; i < tags.Count(); ++i) keys.push_back(tags.Key(i));
    return keys;
}

TEST(AuTagsTest, KeySetsAreFixedAndSorted) {
    TId3v1Tags id3v1;
    EXPECT_EQ(Keys(id3v1), (std::vector<std::string>{"album", "artist", "comment", "genre", "title", "track", "year"}));
    EXPECT_EQ(Keys(TVorbisTags()),
              (std::vector<std::string>{"album", "artist", "date", "genre", "title", "tracknumber"}));
    const std::vector<std::string> v2 = Keys(TId3v2Tags());
    EXPECT_EQ(v2.size(), 24u);
    EXPECT_TRUE(std::is_sorted(v2.begin(), v2.end()));
    EXPECT_EQ(v2.front(), "COM");
    EXPECT_EQ(v2.back(), "WXXX");
    EXPECT_EQ(id3v1.Key(-1), "");
    EXPECT_EQ(id3v1.Key(id3v1.Count()), "");

    id3v1.SetValue("composer", std::string("Bach"));
    EXPECT_EQ(id3v1.Count(), 7);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(id3v1.Value("composer")));
}

TEST(AuTagsTest, EmptyAndChangedFollowRealChanges) {
    TId3v1Tags tags;
    EXPECT_TRUE(tags.Empty());
    EXPECT_FALSE(tags.Changed());
    EXPECT_EQ(tags.GenreId(), 12);

    tags.SetGenreId(12);  // equal to the value at creation
    tags.SetValue("nokey", 5);
    tags.SetTitle("");    // a blank text is no content
    tags.SetGenreId(200); // outside the genre list
    EXPECT_TRUE(tags.Empty());
    EXPECT_FALSE(tags.Changed());
    EXPECT_EQ(tags.GenreId(), 12);

    tags.SetValue("TITLE", std::string("Song"));  // keys ignore case
    EXPECT_FALSE(tags.Empty());
    EXPECT_TRUE(tags.Changed());
    EXPECT_EQ(tags.Title(), "Song");

    tags.Clear();
    EXPECT_TRUE(tags.Empty());
    EXPECT_TRUE(tags.Changed());
    EXPECT_EQ(tags.Title(), "");
    EXPECT_EQ(tags.GenreId(), 0);
}

TEST(AuTagsTest, IntegerAndTextViews) {
    TId3v1Tags tags;
    tags.SetValue("year", std::string("1999"));
    EXPECT_EQ(tags.Year(), 1999);
    EXPECT_EQ(tags.AsText("year"), "1999");
    tags.SetValue("year", std::string("19x9"));
    EXPECT_EQ(tags.Year(), 0);
    tags.SetValue("year", std::string("70000"));
    EXPECT_EQ(tags.AsInteger("year"), 70000);
    EXPECT_EQ(tags.Year(), 0);  // does not fit the 16-bit year

    tags.SetYear(2024);
    EXPECT_EQ(tags.AsText("year"), "2024");
    tags.SetTrack(12);
    EXPECT_EQ(tags.Track(), 12);
    EXPECT_EQ(tags.AsInteger("missing"), 0);
    EXPECT_EQ(tags.AsInteger("album"), 0);
    EXPECT_EQ(tags.AsText("genre"), "12");
}

TEST(AuTagsTest, AssignCopiesSharedKeysOnly) {
    TId3v1Tags id3v1;
    id3v1.SetTitle("Title");
    id3v1.SetArtist("Artist");
    id3v1.SetComment("Comment");
    id3v1.SetYear(1999);

    TVorbisTags vorbis;
    vorbis.SetDate("stale");
    vorbis.Assign(id3v1);
    EXPECT_EQ(vorbis.Title(), "Title");
    EXPECT_EQ(vorbis.Artist(), "Artist");
    EXPECT_EQ(vorbis.Date(), "");   // the source has no "date": cleared
    EXPECT_EQ(vorbis.Genre(), "12");  // "genre" is shared and copied as the integer
    EXPECT_FALSE(vorbis.Empty());

    TId3v2Tags id3v2;
    id3v2.SetTitle("x");
    id3v2.Assign(vorbis);  // no key in common
    EXPECT_TRUE(id3v2.Empty());
    EXPECT_EQ(id3v2.Title(), "");

    TVorbisTags cleared;
    cleared.Clear();
    vorbis.Assign(cleared);
    EXPECT_TRUE(vorbis.Empty());
    EXPECT_EQ(vorbis.Title(), "");

    id3v1.Assign(id3v1);
    EXPECT_EQ(id3v1.Title(), "Title");
}

TEST(AuTagsTest, Id3v2PropertiesUseTheChosenIdSet) {
    TId3v2Tags tags;
    tags.SetTitle("Song");
    tags.SetArtist("Band");
    tags.SetComment("Note");
    tags.SetLink("http://example.org");
    EXPECT_EQ(tags.AsText("TIT2"), "Song");
    EXPECT_EQ(tags.AsText("TPE1"), "Band");
    EXPECT_EQ(tags.AsText("COMM"), "Note");
    EXPECT_EQ(tags.AsText("WXXX"), "http://example.org");

    tags.SetIdSet(TId3v2IdSet::idsV22);
    EXPECT_EQ(tags.Title(), "");
    tags.SetTitle("Old");
    EXPECT_EQ(tags.AsText("TT2"), "Old");
    EXPECT_EQ(tags.AsText("TIT2"), "Song");

    TId3v2Tags copy;
    copy.Assign(tags);
    EXPECT_EQ(copy.Title(), "Song");
    EXPECT_EQ(copy.AsText("TT2"), "Old");
}

}  // namespace
}  // namespace murmex
