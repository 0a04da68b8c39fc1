#include "tags/lyrics3.h"

#include <charconv>

namespace murmex {
namespace {

constexpr std::string_view kBeginMarker = "LYRICSBEGIN";
constexpr std::string_view kEndMarker = "LYRICS200";
constexpr std::size_t kSizeDigits = 6;
constexpr std::size_t kIdLength = 3;
constexpr std::size_t kLengthDigits = 5;

// The text as an unsigned decimal number made of digits only; -1 when it is not one.
int32_t DigitsValue(std::string_view digits) {
    int32_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

bool Lyrics3Reader::Locate(uint64_t blockEnd, int32_t& size) {
    size = 0;
    if (blockEnd < FooterSize) return true;
    const uint64_t footerStart = blockEnd - FooterSize;
    std::string footer;
    if (!File_.ReadAt(footerStart, FooterSize, footer)) return false;
    if (footer.substr(kSizeDigits) != kEndMarker) return true;
    const int32_t stored = DigitsValue(std::string_view(footer).substr(0, kSizeDigits));
    // A size smaller than the start marker, or one reaching before the start of the file, names
    // no block; such footers come from damaged or hostile files.
    if (stored < static_cast<int32_t>(kBeginMarker.size()) || static_cast<uint64_t>(stored) > footerStart) {
        return true;
    }
    std::string marker;
    if (!File_.ReadAt(footerStart - static_cast<uint64_t>(stored), kBeginMarker.size(), marker)) return false;
    if (marker == kBeginMarker) size = stored;
    return true;
}

bool Lyrics3Reader::ReadFields(uint64_t blockEnd, int32_t size, const FieldHandler& onField) {
    if (blockEnd < FooterSize || size < static_cast<int32_t>(kBeginMarker.size()) ||
        static_cast<uint64_t>(size) > blockEnd - FooterSize) {
        return false;
    }
    const uint64_t footerStart = blockEnd - FooterSize;
    const uint64_t fieldsStart = footerStart - static_cast<uint64_t>(size) + kBeginMarker.size();
    // The footer digits stay in view: followed by "LY" they are no field length, which is what
    // ends the walk. Field data itself must end before the footer.
    const std::size_t fieldsLength = static_cast<std::size_t>(footerStart - fieldsStart);
    std::string block;
    if (!File_.ReadAt(fieldsStart, fieldsLength + kSizeDigits + 2, block)) return false;
    const std::string_view view = block;
    std::size_t position = 0;
    while (position + kIdLength + kLengthDigits <= view.size()) {
        const std::string_view id = view.substr(position, kIdLength);
        const int32_t length = DigitsValue(view.substr(position + kIdLength, kLengthDigits));
        if (length < 0) return true;
        position += kIdLength + kLengthDigits;
        if (position > fieldsLength || static_cast<std::size_t>(length) > fieldsLength - position) return false;
        if (!onField(id, view.substr(position, static_cast<std::size_t>(length)))) return true;
        position += static_cast<std::size_t>(length);
    }
    return true;
}

}  // namespace murmex
