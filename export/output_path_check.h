#pragma once

#include <string>

#include "export/export_host.h"

namespace murmex {

// The chosen name with its extension replaced by "." + the lower-case format.
std::string OutputPathFor(const std::string& chosenName, const std::string& formatExtension);

// True when writing `outputPath` would write the file at `sourcePath`: the same text, or the
// same file reached by another spelling (../, a symbolic link, a hard link).
bool IsSameFile(const std::string& outputPath, const std::string& sourcePath);

// The save command's checks in order (same file, not a regular file, overwrite, missing
// folder); each failing one asks the host and may end the save. True when the save may go on.
bool CheckOutputPath(const std::string& outputPath, const std::string& sourcePath, ExportHost& host);

}  // namespace murmex
