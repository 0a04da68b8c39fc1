#include "source/source_file_check.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "pipeline/file_state.h"

namespace murmex {

std::string SourceFileRefusal(const std::filesystem::path& path) {
  const FileState state = StatFile(path.string());
  if (!state.Exists) {
    // Missing, unless the system tells another reason: a folder on the way that may not be
    // searched, a loop of links, a name too long.
    if (std::error_code error; !std::filesystem::exists(path, error) && error) return error.message();
    return std::strerror(ENOENT);
  }
  if (const std::string kind = NonRegularKind(state); !kind.empty()) return kind + ", not a regular file";
  if (::access(path.c_str(), R_OK) != 0) return std::strerror(errno);
  return {};
}

}  // namespace murmex
