#pragma once

#include <string>

#include "export/export_host.h"

namespace murmex {

// The chosen name with its extension replaced by "." + the lower-case format.
std::string OutputPathFor(const std::string& chosenName, const std::string& formatExtension);

// Where a save that did not finish keeps what it wrote: "NAME.partial.EXT" beside the output,
// a name no later run takes for a finished file.
std::string PartialPathFor(const std::string& outputPath);

// True when writing `outputPath` would write the file at `sourcePath`: the same text, or the
// same file reached by another spelling (../, a symbolic link, a hard link), or a name under
// which a case-folding file system shows the source (same size, times and leading bytes).
bool IsSameFile(const std::string& outputPath, const std::string& sourcePath);

// The save command's checks in order (same file, not a regular file, overwrite, missing
// folder); each failing one asks the host and may end the save. True when the save may go on.
bool CheckOutputPath(const std::string& outputPath, const std::string& sourcePath, ExportHost& host);

}  // namespace murmex
