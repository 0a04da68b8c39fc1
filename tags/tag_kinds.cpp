#include "tags/au_tags.h"

#include <array>
#include <limits>
#include <span>

namespace murmex {
namespace {

// Frame ids in property order (album, artist, genre, title, track, year, comment, composer,
// encoder, copyright, language, link): the ID3v2.3 ids, then the ID3v2.2 ids.
constexpr std::size_t kPropertyCount = 12;
constexpr std::array<std::string_view, 2 * kPropertyCount> kFrameIds = {
    "TALB", "TPE1", "TCON", "TIT2", "TRCK", "TYER", "COMM", "TCOM", "TENC", "TCOP", "TLAN", "WXXX",
    "TAL",  "TP1",  "TCO",  "TT2",  "TRK",  "TYE",  "COM",  "TCM",  "TEN",  "TCR",  "TLA",  "WXX"};

TAuTags::TFieldList EmptyFields(std::span<const std::string_view> keys) {
    TAuTags::TFieldList fields;
    for (const std::string_view key : keys) fields.emplace_back(key, std::monostate{});
    return fields;
}

// The stored number when it lies in the range of T, else 0.
template <typename T>
T InRangeOrZero(int value) {
    return value >= 0 && value <= std::numeric_limits<T>::max() ? static_cast<T>(value) : T{0};
}

}  // namespace

TId3v1Tags::TId3v1Tags()
    : TAuTags({{"album", {}},
               {"artist", {}},
               {"comment", {}},
               {"genre", DefaultGenreId},
               {"title", {}},
               {"track", {}},
               {"year", {}}}) {}

uint16_t TId3v1Tags::Year() const { return InRangeOrZero<uint16_t>(AsInteger("year")); }

uint8_t TId3v1Tags::Track() const { return InRangeOrZero<uint8_t>(AsInteger("track")); }

void TId3v1Tags::SetGenreId(int value) {
    if (value >= 0 && value <= MaxGenreId) SetValue("genre", value);
}

TId3v2Tags::TId3v2Tags() : TAuTags(EmptyFields(kFrameIds)) {}

std::string_view TId3v2Tags::FrameId(Property property) const {
    const std::size_t index = static_cast<std::size_t>(property);
    return kFrameIds[IdSet_ == TId3v2IdSet::idsV23 ? index : kPropertyCount + index];
}

TVorbisTags::TVorbisTags()
    : TAuTags({{"album", {}},
               {"artist", {}},
               {"date", {}},
               {"genre", {}},
               {"title", {}},
               {"tracknumber", {}}}) {}

}  // namespace murmex
