#pragma once

#include <filesystem>
#include <string>

namespace murmex {

// The name FFmpeg opens a local file by. A bare name such as "data:..." or "pipe:1" would be
// taken for one of FFmpeg's protocols; the "file:" prefix keeps every path a plain file.
inline std::string FfmpegFileUrl(const std::filesystem::path& path) { return "file:" + path.string(); }

}  // namespace murmex
