#include "tags/narrow_text.h"

#include <array>
#include <cstdint>

namespace murmex {
namespace {

// Code points of bytes 0x80..0x9F in Windows-1252; the five it leaves undefined keep their
// Latin-1 (control character) meaning so that every byte survives a round trip.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char kUnmappable = '?';

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::size_t DecodeUtf8(std::string_view text, char32_t& cp) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!IsContinuation(byte)) return 0;
        cp = (cp << 6) | (byte & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

namespace {

// Bytes taken by the character at the start of `text`: a malformed byte counts as one character.
std::size_t CharBytes(std::string_view text) {
    char32_t cp = 0;
    const std::size_t length = DecodeUtf8(text, cp);
    return length == 0 ? 1 : length;
}

char EncodeCodePoint(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
        if (kCp1252High[i] == cp) return static_cast<char>(0x80 + i);
    }
    return kUnmappable;
}

}  // namespace

std::string DecodeNarrow(std::string_view narrow) {
    std::string out;
    out.reserve(narrow.size() * 2);
    for (const char c : narrow) {
        const auto byte = static_cast<unsigned char>(c);
        AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : char32_t{byte});
    }
    return out;
}

std::string EncodeNarrow(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(utf8, cp);
        out += length == 0 ? kUnmappable : EncodeCodePoint(cp);
        utf8.remove_prefix(length == 0 ? 1 : length);
    }
    return out;
}

std::string RepairUtf8(std::string_view text) {
    return RewriteUtf8(
        text, [](std::string& out, char32_t, std::string_view bytes) { out += bytes; },
        [](std::string& out, unsigned char byte) { out += DecodeNarrow(std::string(1, static_cast<char>(byte))); });
}

std::size_t CharCount(std::string_view utf8) {
    std::size_t count = 0;
    for (; !utf8.empty(); utf8.remove_prefix(CharBytes(utf8))) ++count;
    return count;
}

std::string_view LeftChars(std::string_view utf8, std::size_t count) {
    std::string_view rest = utf8;
    for (; count > 0 && !rest.empty(); --count) rest.remove_prefix(CharBytes(rest));
    return utf8.substr(0, utf8.size() - rest.size());
}

std::string_view TrimControls(std::string_view text) {
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && isControl(text.front())) text.remove_prefix(1);
    while (!text.empty() && isControl(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view TextBeforeNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

}  // namespace murmex
