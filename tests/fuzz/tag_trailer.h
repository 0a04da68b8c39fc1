#pragma once
// An independent description of what may end an MP3 file after its audio: a 128-byte ID3v1
// tag and the Lyrics3 (version 2) block before it. The tag fuzzers judge the reader, the
// remover and the writer against it.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace murmex::fuzz {

inline constexpr std::size_t kTagBytes = 128;

// The last 128 bytes of the file start with "TAG".
bool EndsWithTag(const std::vector<uint8_t>& file);

// bytes[begin, end) is one whole Lyrics3 block: "LYRICSBEGIN", then a footer whose six digits
// give the length of the block before them, then "LYRICS200".
bool IsLyrics3Block(const std::vector<uint8_t>& bytes, std::size_t begin, std::size_t end);

// bytes[begin, end) is what a tag removal may cut: a tag, a Lyrics3 block, or both in that order.
bool IsTagTrailer(const std::vector<uint8_t>& bytes, std::size_t begin, std::size_t end);

}  // namespace murmex::fuzz
