// Reads the attributes of arbitrary files as MP3 or WMA sources (the first byte chooses). A file
// that cannot be read as media is refused with an EAuException; otherwise the bitrate is not
// negative and every attribute, and every tag filled from them, is valid UTF-8.
#include <string>

#include "encoders/media_attribute_reader.h"
#include "pipeline/au_exception.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/input_choice.h"
#include "tests/fuzz/tag_texts.h"

using namespace murmex;
using namespace murmex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto path = ScratchPath("attributes" + std::string(ExtensionFor(data[0], kAttributeExtensions)));
    WriteScratch(path, data + 1, size - 1);
    TMediaAttributeReader reader;
    try {
        reader.Open(path);
    } catch (const EAuException&) {
        return 0;
    }
    MURMEX_FUZZ_CHECK(reader.Bitrate() >= 0);
    MURMEX_FUZZ_CHECK(reader.Attribute(TMediaAttributeReader::kBitrate) == std::to_string(reader.Bitrate()));
    for (const std::string_view name :
         {TMediaAttributeReader::kAuthor, TMediaAttributeReader::kTitle, TMediaAttributeReader::kAlbumTitle,
          TMediaAttributeReader::kGenre, TMediaAttributeReader::kTrack, TMediaAttributeReader::kYear,
          TMediaAttributeReader::kCopyright}) {
        MURMEX_FUZZ_CHECK(IsValidUtf8(reader.Attribute(name)));
    }
    for (const std::string& text : TextsOf(reader.Id3v2Tags())) MURMEX_FUZZ_CHECK(IsValidUtf8(text));
    return 0;
}
