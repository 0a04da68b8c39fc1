#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "tests/pipeline/pipeline_test_support.h"

namespace murmex::fuzz {

void Check(bool holds, const char* property, const char* file, int line) {
    if (holds) return;
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, property);
    std::abort();
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        uint32_t code = 0, minimum = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, code = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, code = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, code = lead & 0x07, minimum = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = code << 6 | (next & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

bool IsTrimmed(std::string_view text) {
    const auto control = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    return text.empty() || (!control(text.front()) && !control(text.back()));
}

std::filesystem::path ScratchPath(const std::string& name) {
    static const test::TempDir folder;
    return folder.File(name);
}

void WriteScratch(const std::filesystem::path& path, const uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file != nullptr && std::fwrite(data, 1, size, file) == size;
    const bool closed = file != nullptr && std::fclose(file) == 0;
    MURMEX_FUZZ_CHECK(written && closed);
}

bool StartsWith(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& prefix) {
    return prefix.size() <= bytes.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

bool BytesAt(const std::vector<uint8_t>& bytes, std::size_t offset, std::string_view expected) {
    return offset <= bytes.size() && expected.size() <= bytes.size() - offset &&
           std::equal(expected.begin(), expected.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                      [](char e, uint8_t b) { return static_cast<uint8_t>(e) == b; });
}

}  // namespace murmex::fuzz
