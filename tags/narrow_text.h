#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace murmex {

// Tag texts are single-byte on disk (Latin-1, Windows-1252 where the two differ) and UTF-8 in
// memory. These helpers convert between the two and count and cut UTF-8 text by characters, so a
// text cut to a byte limit on disk never loses half a character.

// Length of the well-formed UTF-8 sequence at the start of `text` (not empty) and its code point;
// 0 when the first byte does not begin one (stray continuation, truncation, overlong or surrogate form).
std::size_t DecodeUtf8(std::string_view text, char32_t& cp);

// Rewrites `text` character by character: each well-formed one is handed to
// onCharacter(out, codePoint, itsBytes), each byte that does not begin one to onStray(out, byte).
template <typename OnCharacter, typename OnStray>
std::string RewriteUtf8(std::string_view text, OnCharacter&& onCharacter, OnStray&& onStray) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(text, cp);
        if (length == 0) {
            onStray(out, static_cast<unsigned char>(text[0]));
            text.remove_prefix(1);
        } else {
            onCharacter(out, cp, text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return out;
}

// Windows-1252 bytes to UTF-8. Bytes 1252 leaves undefined map to the Latin-1 control characters.
std::string DecodeNarrow(std::string_view narrow);

// UTF-8 to Windows-1252. A character the code page lacks, or a malformed UTF-8 byte, becomes '?'.
std::string EncodeNarrow(std::string_view utf8);

// A text a file declares as UTF-8, made valid: well-formed sequences are kept, and every byte
// that does not start one is read as Windows-1252, as older tagging tools wrote it.
std::string RepairUtf8(std::string_view text);

// Number of characters (code points) in a UTF-8 text; a malformed byte counts as one character.
std::size_t CharCount(std::string_view utf8);

// The first `count` characters of a UTF-8 text.
std::string_view LeftChars(std::string_view utf8, std::size_t count);

// Removes leading and trailing characters with codes 0 to 32.
std::string_view TrimControls(std::string_view text);

// The part of a text before its first NUL character; the whole text when it has none.
std::string_view TextBeforeNul(std::string_view text);

}  // namespace murmex
