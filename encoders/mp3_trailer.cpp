#include "encoders/mp3_trailer.h"

#include <algorithm>
#include <string>

#include "tags/narrow_text.h"

namespace murmex {

namespace {

void PutText(std::array<uint8_t, 128>& trailer, std::size_t offset, const std::string& utf8) {
  const std::string narrow = EncodeNarrow(utf8);
  const std::size_t length = std::min<std::size_t>(narrow.size(), 30);
  std::copy_n(narrow.begin(), length, trailer.begin() + static_cast<std::ptrdiff_t>(offset));
}

}  // namespace

std::array<uint8_t, 128> BuildMp3Trailer(const TId3v1Tags& tags) {
  std::array<uint8_t, 128> trailer{};
  trailer[0] = 'T';
  trailer[1] = 'A';
  trailer[2] = 'G';
  PutText(trailer, 3, tags.Title());
  PutText(trailer, 33, tags.Artist());
  PutText(trailer, 63, tags.Album());
  PutText(trailer, 97, tags.Comment());
  const uint16_t year = tags.Year();
  const std::string yearText = std::to_string(year);
  if (year != 0 && yearText.size() == 4) std::copy_n(yearText.begin(), 4, trailer.begin() + 93);
  return trailer;
}

}  // namespace murmex
