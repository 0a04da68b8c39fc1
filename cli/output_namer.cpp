#include "cli/output_namer.h"

#include <locale.h>

#include <cwctype>
#include <system_error>

#include "tags/narrow_text.h"

namespace murmex {

namespace fs = std::filesystem;

namespace {

// Simple (one to one) Unicode case folding; bytes that are not UTF-8 stay as they are.
std::u32string FoldCase(std::string_view name) {
    static const locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    std::u32string folded;
    while (!name.empty()) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(name, cp);
        if (length == 0) {
            // Above the code points, so a stray byte never equals a character.
            folded += static_cast<char32_t>(0x110000 + static_cast<unsigned char>(name[0]));
            name.remove_prefix(1);
            continue;
        }
        const auto wide = static_cast<wint_t>(cp);
        folded += static_cast<char32_t>(unicode != nullptr ? ::towlower_l(wide, unicode) : std::towlower(wide));
        name.remove_prefix(length);
    }
    return folded;
}

OutputNamer::Key FoldedKey(const fs::path& path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    const fs::path whole = (ec ? path : absolute).lexically_normal();
    fs::path folder = fs::weakly_canonical(whole.parent_path(), ec);
    if (ec) folder = whole.parent_path();
    return {folder.string(), FoldCase(whole.filename().string())};
}

}  // namespace

OutputNamer::OutputNamer(const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
        inputs_.push_back(input);
        inputKeys_.insert(FoldedKey(input));
    }
}

bool OutputNamer::Taken(const fs::path& candidate) const {
    const Key key = FoldedKey(candidate);
    if (used_.count(key) != 0 || inputKeys_.count(key) != 0) return true;
    for (const fs::path& input : inputs_) {
        std::error_code ec;
        if (fs::equivalent(input, candidate, ec) && !ec) return true;
    }
    return false;
}

std::string OutputNamer::InFolder(const std::string& folder, const std::string& suggestedName,
                                  const std::string& inputPath, const std::string& extension) {
    const std::string base =
        suggestedName.empty() ? fs::path(inputPath).stem().string() + "-clean" : suggestedName;
    fs::path candidate = fs::path(folder) / (base + "." + extension);
    for (int n = 2; Taken(candidate); ++n) {
        candidate = fs::path(folder) / (base + " (" + std::to_string(n) + ")." + extension);
    }
    used_.insert(FoldedKey(candidate));
    return candidate.string();
}

}  // namespace murmex
