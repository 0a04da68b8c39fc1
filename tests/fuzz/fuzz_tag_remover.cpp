// Removes the ID3v1 tag and the Lyrics3 block from arbitrary files. A refused removal leaves
// the file byte for byte; an accepted one cuts exactly a tag, a Lyrics3 block or both, and a
// file that ends in a tag always loses it.
#include "tags/id3v1.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/tag_trailer.h"
#include "tests/pipeline/pipeline_test_support.h"

using namespace murmex;
using namespace murmex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const auto path = ScratchPath("remove.mp3");
    WriteScratch(path, data, size);
    const std::vector<uint8_t> before(data, data + size);

    TID3v1 tag;
    tag.SetTitle("kept");
    const bool removed = tag.RemoveTagFromFile(path);
    const std::vector<uint8_t> after = test::ReadFileBytes(path);
    MURMEX_FUZZ_CHECK(tag.Title() == "kept");
    if (!removed) {
        MURMEX_FUZZ_CHECK(after == before);
        return 0;
    }
    MURMEX_FUZZ_CHECK(StartsWith(before, after));
    MURMEX_FUZZ_CHECK(!tag.HasTag() && !tag.HasLyrics3());
    if (after.size() == before.size()) {
        MURMEX_FUZZ_CHECK(!EndsWithTag(before));
    } else {
        MURMEX_FUZZ_CHECK(IsTagTrailer(before, after.size(), before.size()));
        // The tag goes whenever there is one; its Lyrics3 block only when it is whole.
        MURMEX_FUZZ_CHECK(!EndsWithTag(before) || before.size() - after.size() >= kTagBytes);
    }
    return 0;
}
