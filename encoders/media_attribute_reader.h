#pragma once
// Reads what an MP3 or WMA source tells about itself without decoding it: its bit rate (the
// "Bitrate" attribute) and its descriptive attributes, which it also files into a TId3v2Tags.
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "tags/au_tags.h"

namespace murmex {

class TMediaAttributeReader {
 public:
  // The descriptive attributes read, in the order they fill the tag container.
  static constexpr std::string_view kAuthor = "Author";
  static constexpr std::string_view kTitle = "Title";
  static constexpr std::string_view kAlbumTitle = "WM/AlbumTitle";
  static constexpr std::string_view kGenre = "WM/Genre";
  static constexpr std::string_view kTrack = "WM/Track";
  static constexpr std::string_view kYear = "WM/Year";
  static constexpr std::string_view kCopyright = "Copyright";
  static constexpr std::string_view kBitrate = "Bitrate";

  // Reads the file's attributes and fills Id3v2Tags (cleared first). Raises EAuException when
  // the file cannot be opened or read as media.
  void Open(const std::filesystem::path& fileName);
  // Forgets the attributes; the tag container keeps what Open filled.
  void Close();

  // Bits per second; 0 when the file does not tell (or tells more than 32 bits hold).
  int Bitrate() const { return bitrate_; }
  // The text of a descriptive attribute; empty when the file has none.
  std::string Attribute(std::string_view name) const;
  const TId3v2Tags& Id3v2Tags() const { return tags_; }

 private:
  int bitrate_ = 0;
  std::map<std::string, std::string, std::less<>> attributes_;
  TId3v2Tags tags_;
};

}  // namespace murmex
