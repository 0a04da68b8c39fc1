#include "export/output_path_check.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>
#include <system_error>

#include "pipeline/file_state.h"

namespace murmex {

namespace fs = std::filesystem;

std::string OutputPathFor(const std::string& chosenName, const std::string& formatExtension) {
    fs::path path(chosenName);
    path.replace_extension("." + formatExtension);
    return path.string();
}

std::string PartialPathFor(const std::string& outputPath) {
    const fs::path path(outputPath);
    return (path.parent_path() / (path.stem().string() + ".partial" + path.extension().string())).string();
}

namespace {

// Where a file system folds case or numbers files per path (exFAT through FUSE), one file can
// show under two names with two inode numbers: what both names hold then tells instead. Only
// regular files are opened, so a FIFO never blocks the check.
bool SameContentAndTimes(const std::string& outputPath, const std::string& sourcePath) {
    const FileState output = StatFile(outputPath);
    const FileState source = StatFile(sourcePath);
    if (!output.Exists || !source.Exists || !NonRegularKind(output).empty() || !NonRegularKind(source).empty() ||
        output.Size != source.Size || output.ModifiedNs != source.ModifiedNs) {
        return false;
    }
    constexpr std::size_t kCompared = 64 * 1024;
    std::ifstream a(outputPath, std::ios::binary);
    std::ifstream b(sourcePath, std::ios::binary);
    std::vector<char> bytesA(kCompared);
    std::vector<char> bytesB(kCompared);
    a.read(bytesA.data(), kCompared);
    b.read(bytesB.data(), kCompared);
    // A file that cannot be read is taken for the source: refusing is the safe answer.
    if (a.bad() || b.bad() || a.gcount() != b.gcount()) return true;
    return std::equal(bytesA.begin(), bytesA.begin() + a.gcount(), bytesB.begin());
}

}  // namespace

bool IsSameFile(const std::string& outputPath, const std::string& sourcePath) {
    if (outputPath == sourcePath) return true;
    std::error_code ec;
    // equivalent() compares device and inode, so every spelling of the source is caught; it
    // fails (and the answer is no) when the output does not exist yet.
    if (fs::equivalent(fs::path(outputPath), fs::path(sourcePath), ec) && !ec) return true;
    return SameContentAndTimes(outputPath, sourcePath);
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
    // A symbolic link at the name, even a dangling one, is something the save would replace.
    if ((existing.Exists || NameTaken(outputPath)) &&
        !host.Ask({"Overwrite existing file?", "Confirmation", ExportIcon::Warning, true})) {
        return false;
    }
    fs::path folder = fs::path(outputPath).parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        // A backslash is a folder separator only elsewhere: the name then meant folders that
        // are not there.
        const std::string text = outputPath.find('\\') != std::string::npos
                                     ? "Ooops! Avoid \"\\\" character for filenames!"
                                     : "Cannot save to \"" + outputPath + "\": the folder \"" + folder.string() +
                                           "\" does not exist.";
        host.Ask({text, "Directory does not exist", ExportIcon::Error, false});
        return false;
    }
    return true;
}

}  // namespace murmex
