#pragma once
// Reads what an Ogg Vorbis source tells about itself: the nominal bitrate of its identification
// header and its comments, filed into a TVorbisTags. Uses libvorbisfile bound at run time.
#include <filesystem>

#include "tags/au_tags.h"

namespace murmex {

class TVorbisCommentReader {
 public:
  // Reads the headers and fills Comments (cleared first). Raises EAuException when the Ogg
  // Vorbis libraries are missing or the file is not an Ogg Vorbis stream.
  void Open(const std::filesystem::path& fileName);
  void Close() { nominalBitrate_ = 0; }

  // Bits per second; 0 when the header does not tell.
  int NominalBitrate() const { return nominalBitrate_; }
  const TVorbisTags& Comments() const { return comments_; }

 private:
  int nominalBitrate_ = 0;
  TVorbisTags comments_;
};

}  // namespace murmex
