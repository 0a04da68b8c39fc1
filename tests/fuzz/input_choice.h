#pragma once
// The fuzz targets that need a file name extension take it from the first input byte; the seed
// generator writes that byte in front of each sample file.
#include <array>
#include <cstdint>
#include <string_view>

namespace murmex::fuzz {

// Every extension the loader treats apart.
inline constexpr std::array<std::string_view, 5> kLoadExtensions = {".wav", ".mp3", ".ogg", ".wma", ".flac"};
// The sources whose media attributes are read.
inline constexpr std::array<std::string_view, 2> kAttributeExtensions = {".mp3", ".wma"};

template <std::size_t N>
std::string_view ExtensionFor(uint8_t choice, const std::array<std::string_view, N>& extensions) {
    return extensions[choice % N];
}

// The byte that chooses `extension` (which must be in the list).
template <std::size_t N>
uint8_t ChoiceOf(std::string_view extension, const std::array<std::string_view, N>& extensions) {
    for (std::size_t i = 0; i < N; ++i) {
        if (extensions[i] == extension) return static_cast<uint8_t>(i);
    }
    return 0;
}

}  // namespace murmex::fuzz
