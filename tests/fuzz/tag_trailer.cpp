#include "tests/fuzz/tag_trailer.h"

#include <string_view>

#include "tests/fuzz/fuzz_support.h"

namespace murmex::fuzz {
namespace {

constexpr std::string_view kBegin = "LYRICSBEGIN";
constexpr std::string_view kEnd = "LYRICS200";
constexpr std::size_t kDigits = 6;

}  // namespace

bool EndsWithTag(const std::vector<uint8_t>& file) {
    return file.size() >= kTagBytes && BytesAt(file, file.size() - kTagBytes, "TAG");
}

bool IsLyrics3Block(const std::vector<uint8_t>& bytes, std::size_t begin, std::size_t end) {
    if (end > bytes.size() || begin > end || end - begin < kBegin.size() + kDigits + kEnd.size()) return false;
    const std::size_t footer = end - kDigits - kEnd.size();
    std::size_t stated = 0;
    for (std::size_t i = footer; i < footer + kDigits; ++i) {
        if (bytes[i] < '0' || bytes[i] > '9') return false;
        stated = stated * 10 + (bytes[i] - '0');
    }
    return BytesAt(bytes, begin, kBegin) && BytesAt(bytes, footer + kDigits, kEnd) && stated == footer - begin;
}

bool IsTagTrailer(const std::vector<uint8_t>& bytes, std::size_t begin, std::size_t end) {
    if (end > bytes.size() || begin > end) return false;
    const bool tag = end - begin >= kTagBytes && BytesAt(bytes, end - kTagBytes, "TAG");
    if (tag && end - begin == kTagBytes) return true;
    return IsLyrics3Block(bytes, begin, tag ? end - kTagBytes : end);
}

}  // namespace murmex::fuzz
