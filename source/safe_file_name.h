#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace murmex {

// What every file system the user may save to allows in one name.
inline constexpr std::size_t kFileNameBytes = 255;
// What a save may add to a suggested name: " (NN)" when the name is taken, ".partial" when the
// save does not finish, and the format's ".ext".
inline constexpr std::size_t kNameSuffixBytes = 5 + 8 + 4;

// A name made from tags, fit to be a file name anywhere: without control characters (C0, DEL,
// C1), without the characters FAT, exFAT and NTFS refuse (? " * < > | : / \) and without
// trailing dots and spaces, cut on a character boundary so that it keeps kNameSuffixBytes free
// within kFileNameBytes. Bytes that are not UTF-8 are read as Windows-1252, as tags are.
std::string SafeFileName(std::string_view name);

}  // namespace murmex
