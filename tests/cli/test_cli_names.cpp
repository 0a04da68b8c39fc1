// Names made safe: for file systems (SafeFileName), for the terminal (TerminalText), for --json
// (EscapedBytes), and output names that one case-folding file system would take for one file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/escaped_text.h"
#include "cli/output_namer.h"
#include "source/safe_file_name.h"
#include "tests/export/wav_test_files.h"

namespace murmex {
namespace {

using namespace murmex::testing;
namespace fs = std::filesystem;

TEST(SafeFileName, DropsWhatFileSystemsRefuseAndFitsTheLimit) {
    const std::string e = "\xC3\xA9";  // é, two bytes
    std::string longUtf8;
    for (int i = 0; i < 200; ++i) longUtf8 += e;
    const std::size_t room = kFileNameBytes - kNameSuffixBytes;
    const std::pair<std::string, std::string> cases[] = {
        {"Band - Song", "Band - Song"},
        {"a?b\"c*d<e>f|g:h/i\\j", "abcdefghij"},
        {"Title\x1b]0;pwned\x07\n\r\t\x7f", "Title]0;pwned"},
        {"C1 \xC2\x85\xC2\x9B!", "C1 !"},
        {"Latin-1 caf\xE9", "Latin-1 caf" + e},  // a stray byte is read as Windows-1252
        {"Windows-1252 undefined \x81\x9D.", "Windows-1252 undefined"},
        {"Trailing dots and spaces. . .", "Trailing dots and spaces"},
        {"..", ""},
        {"x" + longUtf8, "x" + longUtf8.substr(0, (room - 1) / 2 * 2)},  // never half a character
        {std::string(300, 'a'), std::string(room, 'a')},
    };
    for (const auto& [name, safe] : cases) {
        EXPECT_EQ(SafeFileName(name), safe) << TerminalText(name);
    }
}

TEST(EscapedText, TerminalAndBytesEscapesAreDistinctAndLossless) {
    struct Case {
        std::string text, terminal, bytes;
        bool utf8 = true;
    };
    const Case cases[] = {
        {"plain caf\xC3\xA9.wav", "plain caf\xC3\xA9.wav", "plain caf\xC3\xA9.wav"},
        {"\x1b[2J\a\n8 files: 8 saved", "\\x1b[2J\\a\\n8 files: 8 saved", "\x1b[2J\a\n8 files: 8 saved"},
        {"\xC2\x9B" "31m\t\x7f", "\\u009b31m\\t\\x7f", "\xC2\x9B" "31m\t\x7f"},
        {"a\xff.wav", "a\\xff.wav", "a\\xff.wav", false},
        {"a\xfe.wav", "a\\xfe.wav", "a\\xfe.wav", false},
        {"back\\xff slash", "back\\xff slash", "back\\\\xff slash"},
        {"cut \xE2\x82", "cut \\xe2\\x82", "cut \\xe2\\x82", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.terminal);
        EXPECT_EQ(TerminalText(c.text), c.terminal);
        EXPECT_EQ(EscapedBytes(c.text), c.bytes);
        EXPECT_EQ(UnescapedBytes(EscapedBytes(c.text)), c.text);
        EXPECT_EQ(IsUtf8(c.text), c.utf8);
    }
}

// Names in one run that a case-folding file system, or a symbolic link to a folder, would make
// one file get " (2)"; so does a name folding to an input's in the same folder.
TEST(OutputNamer, NamesOneFileSystemWouldFoldOrLinkTogetherAreDistinct) {
    TempFolder dir;
    fs::create_directories(dir.path() / "d");
    fs::create_directory_symlink(dir.path() / "d", dir.path() / "link");
    const std::string d = dir / "d", link = dir / "link";
    struct Case {
        const char* name;
        std::vector<std::string> inputs;
        std::vector<std::pair<std::string, std::string>> asked;  // folder, suggested name
        std::vector<std::string> given;                          // names in the folder
    };
    const Case cases[] = {
        {"ASCII case", {d + "/A/Take.wav", d + "/B/take.wav"}, {{d, ""}, {d, ""}}, {"Take-clean.mp3", "take-clean (2).mp3"}},
        {"Unicode case", {d + "/1.wav", d + "/2.wav"}, {{d, "\xC3\x84rger"}, {d, "\xC3\xA4RGER"}},
         {"\xC3\x84rger.mp3", "\xC3\xA4RGER (2).mp3"}},
        {"a folder and a link to it", {d + "/1.wav", link + "/2.wav"}, {{d, "Song"}, {link, "Song"}},
         {"Song.mp3", "Song (2).mp3"}},
        {"an input folding to the output", {d + "/take.mp3"}, {{d, "Take"}}, {"Take (2).mp3"}},
        {"an input through the link", {link + "/take.mp3"}, {{d, "TAKE"}}, {"TAKE (2).mp3"}},
        {"stray bytes are not letters", {d + "/1.wav", d + "/2.wav"}, {{d, "a\xC4"}, {d, "a\xE4"}}, {"a\xC4.mp3", "a\xE4.mp3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OutputNamer namer(c.inputs);
        for (std::size_t i = 0; i < c.asked.size(); ++i) {
            const auto& [folder, suggested] = c.asked[i];
            EXPECT_EQ(fs::path(namer.InFolder(folder, suggested, c.inputs[i], "mp3")).filename(), c.given[i]);
        }
    }
}

}  // namespace
}  // namespace murmex
