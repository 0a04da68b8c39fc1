// Names made safe for file systems, terminals and --json, and output names that one case-folding
// file system would take for one file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "cli/escaped_text.h"
#include "cli/output_namer.h"
#include "source/safe_file_name.h"
#include "tests/export/wav_test_files.h"

namespace murmex {
namespace {

using namespace murmex::testing;
namespace fs = std::filesystem;

// One text as a file name (SafeFileName), on the terminal (TerminalText) and in --json
// (EscapedBytes, which UnescapedBytes undoes).
TEST(SafeNames, ForFileSystemsTerminalsAndJson) {
    struct Case {
        std::string text, safe, terminal, bytes;
        bool utf8 = true;
    };
    const std::string e = "\xC3\xA9", same = "\x01";  // é (two bytes); "the text itself"
    const Case cases[] = {
        {"Band - Song", same, same, same},
        {"a?b\"c*d<e>f|g:h/i\\xff", "abcdefghixff", same, "a?b\"c*d<e>f|g:h/i\\\\xff"},
        {"T\x1b]0;x\a\n8 files\r\t\x7f", "T]0;x8 files", "T\\x1b]0;x\\a\\n8 files\\r\\t\\x7f", same},
        {"C1 \xC2\x85\xC2\x9B!", "C1 !", "C1 \\u0085\\u009b!", same},
        // A stray byte is read as Windows-1252 in a name, escaped elsewhere.
        {"caf\xE9", "caf" + e, "caf\\xe9", "caf\\xe9", false},
        {"undefined \x81\x9D.", "undefined", "undefined \\x81\\x9d.", "undefined \\x81\\x9d.", false},
        {"cut \xE2\x82", "cut \xC3\xA2\xE2\x80\x9A", "cut \\xe2\\x82", "cut \\xe2\\x82", false},
        {"dots and spaces. . .", "dots and spaces", same, same},
        {"..", "", same, same},
        {std::string(300, 'a'), std::string(kFileNameBytes - kNameSuffixBytes, 'a'), same, same},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(TerminalText(c.text));
        const auto expected = [&c, &same](const std::string& value) { return value == same ? c.text : value; };
        EXPECT_EQ(SafeFileName(c.text), expected(c.safe));
        EXPECT_EQ(TerminalText(c.text), expected(c.terminal));
        EXPECT_EQ(EscapedBytes(c.text), expected(c.bytes));
        EXPECT_EQ(UnescapedBytes(EscapedBytes(c.text)), c.text);
        EXPECT_EQ(IsUtf8(c.text), c.utf8);
    }
    // A long name is cut to the limit, never in the middle of a character.
    std::string longName = "x";
    for (int i = 0; i < 200; ++i) longName += e;
    EXPECT_EQ(SafeFileName(longName), longName.substr(0, 1 + (kFileNameBytes - kNameSuffixBytes - 1) / 2 * 2));
}

// Names in one run that a case-folding file system, or a symbolic link to a folder, would make
// one file get " (2)"; so does a name folding to an input's in the same folder.
TEST(OutputNamer, NamesOneFileSystemWouldFoldOrLinkTogetherAreDistinct) {
    TempFolder dir;
    fs::create_directories(dir.path() / "d");
    fs::create_directory_symlink(dir.path() / "d", dir.path() / "link");
    const std::string d = dir / "d", link = dir / "link";
    // Inputs, then per input the folder, the suggested name and the name given.
    using Asked = std::tuple<std::string, std::string, std::string>;
    const std::pair<std::vector<std::string>, std::vector<Asked>> cases[] = {
        {{d + "/A/Take.wav", d + "/B/take.wav"}, {{d, "", "Take-clean.mp3"}, {d, "", "take-clean (2).mp3"}}},
        {{d + "/1.wav", d + "/2.wav"}, {{d, "\xC3\x84rger", "\xC3\x84rger.mp3"}, {d, "\xC3\xA4RGER", "\xC3\xA4RGER (2).mp3"}}},
        {{d + "/1.wav", link + "/2.wav"}, {{d, "Song", "Song.mp3"}, {link, "Song", "Song (2).mp3"}}},
        {{d + "/take.mp3"}, {{d, "Take", "Take (2).mp3"}}},
        {{link + "/take.mp3"}, {{d, "TAKE", "TAKE (2).mp3"}}},
        // Stray bytes are not letters: \xC4 and \xE4 are not Ä and ä.
        {{d + "/1.wav", d + "/2.wav"}, {{d, "a\xC4", "a\xC4.mp3"}, {d, "a\xE4", "a\xE4.mp3"}}},
    };
    for (const auto& [inputs, asked] : cases) {
        OutputNamer namer(inputs);
        for (std::size_t i = 0; i < asked.size(); ++i) {
            const auto& [folder, suggested, given] = asked[i];
            EXPECT_EQ(fs::path(namer.InFolder(folder, suggested, inputs[i], "mp3")).filename(), given) << inputs[i];
        }
    }
}

}  // namespace
}  // namespace murmex
