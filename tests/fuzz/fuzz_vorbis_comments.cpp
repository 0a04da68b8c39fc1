// Reads the identification header and the comments of arbitrary files as Ogg Vorbis (their page
// checksums set right, so that mutations reach the Vorbis headers). A file
// that is not one is refused with an EAuException; a file that is one gives a bitrate that is
// not negative and comments that are valid UTF-8, whatever bytes the file holds.
#include "encoders/vorbis_comment_reader.h"
#include "pipeline/au_exception.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/ogg_checksums.h"
#include "tests/fuzz/tag_texts.h"

using namespace murmex;
using namespace murmex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const auto path = ScratchPath("comments.ogg");
    std::vector<uint8_t> file(data, data + size);
    RepairOggChecksums(file);
    WriteScratch(path, file.data(), file.size());
    TVorbisCommentReader reader;
    try {
        reader.Open(path);
    } catch (const EAuException&) {
        MURMEX_FUZZ_CHECK(reader.Comments().Empty());
        return 0;
    }
    MURMEX_FUZZ_CHECK(reader.NominalBitrate() >= 0);
    for (const std::string& text : TextsOf(reader.Comments())) MURMEX_FUZZ_CHECK(IsValidUtf8(text));
    return 0;
}
