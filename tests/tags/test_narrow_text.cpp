#include "tags/narrow_text.h"

#include <gtest/gtest.h>

namespace murmex {
namespace {

TEST(NarrowTextTest, CodePageMapsBothWays) {
    EXPECT_EQ(DecodeNarrow("Caf\xE9"), "Café");
    EXPECT_EQ(DecodeNarrow("\x80\x85\x9F\xFF"), "€…Ÿÿ");
    EXPECT_EQ(DecodeNarrow("\x81"), "\u0081");
    EXPECT_EQ(EncodeNarrow("Café €"), "Caf\xE9 \x80");

    // Every byte survives decoding and encoding again.
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(EncodeNarrow(DecodeNarrow(all)), all);
}

TEST(NarrowTextTest, WhatTheCodePageLacksBecomesQuestionMarks) {
    EXPECT_EQ(EncodeNarrow("日本 😀"), "?? ?");
    // Malformed UTF-8: a stray continuation byte, an overlong form, a cut-off sequence, a surrogate.
    EXPECT_EQ(EncodeNarrow("a\x80" "b"), "a?b");
    EXPECT_EQ(EncodeNarrow("\xC0\xAF"), "??");
    EXPECT_EQ(EncodeNarrow("x\xE2\x82"), "x??");
    EXPECT_EQ(EncodeNarrow("\xED\xA0\x80"), "???");
}

TEST(NarrowTextTest, RepairUtf8KeepsValidTextAndReadsStrayBytesAsTheCodePage) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"Café 日本 😀", "Café 日本 😀"},
        {"Caf\xE9", "Café"},                               // Latin-1 where UTF-8 was declared
        {"\x80\x81", "€\u0081"},                            // stray continuation bytes
        {"x\xE2\x82", "xâ‚"},                               // a cut-off sequence
        {"\xC0\xAF", "À¯"},                                  // an overlong form
        {"\xED\xA0\x80", "í\u00A0€"},                        // a surrogate
        {"\xF4\x90\x80\x80", "ô\u0090€€"},                   // above U+10FFFF
        {"Og\xA0`S\x8A\xD8U", "Og\u00A0`SŠØU"},              // a damaged Ogg comment
    };
    for (const auto& [text, repaired] : cases) EXPECT_EQ(RepairUtf8(text), repaired) << text;
}

TEST(NarrowTextTest, CountsAndCutsByCharacter) {
    EXPECT_EQ(CharCount("Déjà vu"), 7u);
    EXPECT_EQ(CharCount("x\xE2\x82"), 3u);
    EXPECT_EQ(LeftChars("Déjà vu", 4), "Déjà");
    EXPECT_EQ(LeftChars("€€", 1), "€");
    EXPECT_EQ(LeftChars("ab", 5), "ab");
    EXPECT_EQ(TrimControls(std::string("\0\t a b \r\n", 9)), "a b");
    EXPECT_EQ(TrimControls(" \x01 "), "");
    EXPECT_EQ(TextBeforeNul(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(TextBeforeNul("abc"), "abc");
}

}  // namespace
}  // namespace murmex
