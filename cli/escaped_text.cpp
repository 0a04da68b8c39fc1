#include "cli/escaped_text.h"

#include <cstdio>

#include "tags/narrow_text.h"

namespace murmex {

namespace {

std::string Hex(unsigned value, const char* format) {
    char text[12];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string ControlEscape(char32_t cp) {
    switch (cp) {
        case '\a': return "\\a";
        case '\b': return "\\b";
        case '\t': return "\\t";
        case '\n': return "\\n";
        case '\v': return "\\v";
        case '\f': return "\\f";
        case '\r': return "\\r";
        default: return cp < 0x80 ? Hex(cp, "\\x%02x") : Hex(cp, "\\u%04x");
    }
}

void StrayByte(std::string& out, unsigned char byte) { out += Hex(byte, "\\x%02x"); }

}  // namespace

std::string TerminalText(std::string_view text) {
    return RewriteUtf8(
        text,
        [](std::string& out, char32_t cp, std::string_view bytes) {
            if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) {
                out += ControlEscape(cp);
            } else {
                out += bytes;
            }
        },
        StrayByte);
}

void PrintLine(std::FILE* to, std::string_view line) {
    const std::string text = TerminalText(line) + "\n";
    std::fwrite(text.data(), 1, text.size(), to);
}

bool IsUtf8(std::string_view text) {
    for (char32_t cp = 0; !text.empty();) {
        const std::size_t length = DecodeUtf8(text, cp);
        if (length == 0) return false;
        text.remove_prefix(length);
    }
    return true;
}

std::string EscapedBytes(std::string_view text) {
    return RewriteUtf8(
        text, [](std::string& out, char32_t cp, std::string_view bytes) { out += cp == '\\' ? "\\\\" : bytes; },
        StrayByte);
}

std::string UnescapedBytes(std::string_view escaped) {
    std::string out;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '\\' && i + 1 < escaped.size() && escaped[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (escaped[i] == '\\' && i + 3 < escaped.size() && escaped[i + 1] == 'x' &&
                   HexDigit(escaped[i + 2]) >= 0 && HexDigit(escaped[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(escaped[i + 2]) * 16 + HexDigit(escaped[i + 3]));
            i += 3;
        } else {
            out += escaped[i];
        }
    }
    return out;
}

}  // namespace murmex
