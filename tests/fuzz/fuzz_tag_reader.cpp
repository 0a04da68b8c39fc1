// Reads the ID3v1 tag and the Lyrics3 block of arbitrary files. What is found lies inside the
// file where the formats put it, and every text is valid, trimmed UTF-8.
#include <string>

#include "tags/id3v1.h"
#include "tags/narrow_text.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/tag_texts.h"
#include "tests/fuzz/tag_trailer.h"

using namespace murmex;
using namespace murmex::fuzz;

namespace {

void CheckTexts(const TID3v1& tag) {
    for (const std::string& text : TextsOf(tag)) MURMEX_FUZZ_CHECK(IsValidUtf8(text));
    // The image link alone is kept as stored.
    for (const std::string& text : {tag.Title(), tag.Artist(), tag.Album(), tag.Comment(), tag.Year(),
                                    tag.Lyrics(), tag.LyricsAuthor()}) {
        MURMEX_FUZZ_CHECK(IsTrimmed(text));
    }
    MURMEX_FUZZ_CHECK(CharCount(tag.Year()) <= 4);
    // A long field is the whole text of its field, and only when that is long.
    const std::pair<std::string, std::string> fields[] = {{tag.LongTitle(), tag.Title()},
                                                          {tag.LongArtist(), tag.Artist()},
                                                          {tag.LongAlbum(), tag.Album()},
                                                          {tag.LongComment(), tag.Comment()}};
    for (const auto& [longField, text] : fields) {
        MURMEX_FUZZ_CHECK(longField.empty() ? CharCount(text) < TID3v1::LongFieldChars : longField == text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const auto path = ScratchPath("read.mp3");
    WriteScratch(path, data, size);
    const std::vector<uint8_t> file(data, data + size);

    TID3v1 tag;
    tag.ReadTagFromFile(path);
    MURMEX_FUZZ_CHECK(tag.HasTag() == EndsWithTag(file));
    MURMEX_FUZZ_CHECK(tag.TagVersion() == 1 || tag.TagVersion() == 2);
    if (tag.HasTag()) {
        MURMEX_FUZZ_CHECK(tag.GenreCode() == file.back());
    } else {
        MURMEX_FUZZ_CHECK(tag.TagVersion() == 1 && tag.Track() == 0 && tag.GenreCode() == 255);
    }
    MURMEX_FUZZ_CHECK(tag.HasLyrics3() == (tag.Lyrics3Size() > 0));
    if (tag.HasLyrics3()) {
        const std::size_t end = size - (tag.HasTag() ? kTagBytes : 0);
        const std::size_t blockBytes = static_cast<std::size_t>(tag.Lyrics3Size()) + 15;
        MURMEX_FUZZ_CHECK(blockBytes <= end && IsLyrics3Block(file, end - blockBytes, end));
    }
    CheckTexts(tag);
    return 0;
}
