#include "cli/output_namer.h"

#include <system_error>

namespace murmex {

namespace fs = std::filesystem;

namespace {

fs::path Normal(const fs::path& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    return (ec ? path : absolute).lexically_normal();
}

}  // namespace

OutputNamer::OutputNamer(const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) inputs_.push_back(input);
}

bool OutputNamer::Taken(const fs::path& candidate) const {
    if (used_.count(Normal(candidate))) return true;
    for (const fs::path& input : inputs_) {
        std::error_code ec;
        if (Normal(input) == Normal(candidate) || (fs::equivalent(input, candidate, ec) && !ec)) return true;
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
    used_.insert(Normal(candidate));
    return candidate.string();
}

}  // namespace murmex
