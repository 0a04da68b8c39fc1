#pragma once
#include <filesystem>
#include <string>

namespace murmex {

// Why `path` cannot be loaded as a source, told without opening it: opening a named pipe waits
// for a writer, and a device never ends. "a named pipe (FIFO), not a regular file", "a folder,
// not a regular file", "No such file or directory", "Permission denied"; empty for a regular
// file that may be read. The window and murmex-cli both refuse sources by it.
std::string SourceFileRefusal(const std::filesystem::path& path);

}  // namespace murmex
