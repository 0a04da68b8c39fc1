#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace murmex {

// Text for a terminal: every control character (C0, DEL, C1) shows escaped ("\x1b", "\n",
// "\a"), and so does every byte that is not UTF-8, so that no file name or tag printed in a
// message can retitle the window, clear the screen or start a line of its own.
std::string TerminalText(std::string_view text);
// Writes `line` as TerminalText and a newline.
void PrintLine(std::FILE* to, std::string_view line);

bool IsUtf8(std::string_view text);

// The bytes of a name as UTF-8 text, losslessly: every byte that is not UTF-8 as "\xNN" and a
// backslash as "\\", so two names never give one text (a\xff.wav, a\xfe.wav).
std::string EscapedBytes(std::string_view text);
// The bytes EscapedBytes made `escaped` from.
std::string UnescapedBytes(std::string_view escaped);

}  // namespace murmex
