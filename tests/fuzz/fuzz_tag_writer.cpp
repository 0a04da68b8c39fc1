// Writes ID3v1 tags with arbitrary texts onto arbitrary files, appending (WriteTagToFile) or
// replacing (SaveTagToFile). The file keeps every byte before the new tag, the tag is 128 bytes
// at its end, and it reads back: plain ASCII texts as they were given, any text as valid UTF-8.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "tags/id3v1.h"
#include "tags/narrow_text.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/tag_trailer.h"
#include "tests/pipeline/pipeline_test_support.h"

using namespace murmex;
using namespace murmex::fuzz;

namespace {

bool PrintableAscii(std::string_view text) {
    for (const char c : text) {
        if (c < ' ' || c > '~') return false;
    }
    return true;
}

// What reading the tag back yields for a text written into a field of `chars` characters,
// when the text is plain ASCII; other texts go through the code page.
void CheckReadBack(const std::string& written, std::size_t chars, const std::string& read) {
    MURMEX_FUZZ_CHECK(IsValidUtf8(read));
    MURMEX_FUZZ_CHECK(CharCount(read) <= chars);
    const std::string_view given = TrimControls(written);
    if (PrintableAscii(given)) MURMEX_FUZZ_CHECK(read == TrimControls(given.substr(0, chars)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    TID3v1 tag;
    tag.SetTitle(input.ConsumeRandomLengthString(64));
    tag.SetArtist(input.ConsumeRandomLengthString(64));
    tag.SetAlbum(input.ConsumeRandomLengthString(64));
    tag.SetComment(input.ConsumeRandomLengthString(64));
    tag.SetYear(input.ConsumeRandomLengthString(8));
    tag.SetTrack(input.ConsumeIntegral<uint8_t>());
    tag.SetGenreCode(input.ConsumeIntegral<uint8_t>());
    const bool replace = input.ConsumeBool();
    const std::vector<uint8_t> before = input.ConsumeRemainingBytes<uint8_t>();

    const auto path = ScratchPath("write.mp3");
    WriteScratch(path, before.data(), before.size());
    const bool written = replace ? tag.SaveTagToFile(path) : tag.WriteTagToFile(path);
    const std::vector<uint8_t> after = test::ReadFileBytes(path);
    if (!written) {
        // Only a replacement may refuse: a damaged old Lyrics3 block; the file then stays.
        MURMEX_FUZZ_CHECK(replace && after == before);
        return 0;
    }
    MURMEX_FUZZ_CHECK(after.size() >= kTagBytes && EndsWithTag(after));
    const std::vector<uint8_t> kept(after.begin(), after.end() - kTagBytes);
    MURMEX_FUZZ_CHECK(StartsWith(before, kept));
    MURMEX_FUZZ_CHECK(kept.size() == before.size() || (replace && IsTagTrailer(before, kept.size(), before.size())));
    MURMEX_FUZZ_CHECK(after.back() == tag.GenreCode());

    TID3v1 back;
    back.ReadTagFromFile(path);
    MURMEX_FUZZ_CHECK(back.HasTag() && back.GenreCode() == tag.GenreCode());
    // A Lyrics3 block left before an appended tag would supply texts of its own.
    if (back.HasLyrics3()) return 0;
    // Without a track a comment whose 29th character is a blank reads as ID3v1.1, its 30th
    // character taken for the track; that is how such tags are told apart.
    if (tag.Track() != 0) MURMEX_FUZZ_CHECK(back.TagVersion() == 2 && back.Track() == tag.Track());
    CheckReadBack(tag.Title(), 30, back.Title());
    CheckReadBack(tag.Artist(), 30, back.Artist());
    CheckReadBack(tag.Album(), 30, back.Album());
    CheckReadBack(tag.Comment(), back.TagVersion() == 2 ? 28 : 30, back.Comment());
    CheckReadBack(tag.Year(), 4, back.Year());
    return 0;
}
