#include "source/safe_file_name.h"

#include <algorithm>

#include "tags/narrow_text.h"

namespace murmex {

namespace {

bool Refused(char32_t cp) {
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return true;
    return std::u32string_view(U"?\"*<>|:/\\").find(cp) != std::u32string_view::npos;
}

}  // namespace

std::string SafeFileName(std::string_view name) {
    const std::string text = RepairUtf8(name);
    std::string safe;
    for (std::string_view rest(text); !rest.empty();) {
        char32_t cp = 0;
        // Repaired text is well-formed throughout.
        const std::size_t length = std::max<std::size_t>(DecodeUtf8(rest, cp), 1);
        if (!Refused(cp)) {
            if (safe.size() + length > kFileNameBytes - kNameSuffixBytes) break;
            safe.append(rest.substr(0, length));
        }
        rest.remove_prefix(length);
    }
    while (!safe.empty() && (safe.back() == '.' || safe.back() == ' ')) safe.pop_back();
    return safe;
}

}  // namespace murmex
