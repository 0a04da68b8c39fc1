#include "export/output_path_check.h"

#include <filesystem>
#include <system_error>

#include "pipeline/file_state.h"

namespace murmex {

namespace fs = std::filesystem;

std::string OutputPathFor(const std::string& chosenName, const std::string& formatExtension) {
    fs::path path(chosenName);
    path.replace_extension("." + formatExtension);
    return path.string();
}

bool IsSameFile(const std::string& outputPath, const std::string& sourcePath) {
    if (outputPath == sourcePath) return true;
    std::error_code ec;
    // equivalent() compares device and inode, so every spelling of the source is caught; it
    // fails (and the answer is no) when the output does not exist yet.
    return fs::equivalent(fs::path(outputPath), fs::path(sourcePath), ec) && !ec;
}

bool CheckOutputPath(const std::string& outputPath, const std::string& sourcePath, ExportHost& host) {
    if (IsSameFile(outputPath, sourcePath)) {
        host.Ask({"I cannot write origin file!", "Same file", ExportIcon::Error, false});
        return false;
    }
    // A FIFO, device or folder would make the writer block or fail half-way: refuse it before
    // the save starts.
    const FileState existing = StatFile(outputPath);
    const std::string kind = NonRegularKind(existing);
    if (!kind.empty()) {
        host.Ask({"Cannot save to \"" + outputPath + "\": it is " + kind + ", not a regular file.",
                  "Not a regular file", ExportIcon::Error, false});
        return false;
    }
    if (existing.Exists &&
        !host.Ask({"Overwrite existing file?", "Confirmation", ExportIcon::Warning, true})) {
        return false;
    }
    fs::path folder = fs::path(outputPath).parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        host.Ask({"Ooops! Avoid \"\\\" character for filenames!", "Directory does not exist", ExportIcon::Error,
                  false});
        return false;
    }
    return true;
}

}  // namespace murmex
