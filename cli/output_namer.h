#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace murmex {

// Chooses the output file of each input in a run, so that no two inputs write the same file
// and no output lands on a file that is one of the run's inputs. Names are compared as a
// case-folding file system (FAT, exFAT, NTFS) would, in the folder's canonical form, so names
// differing only in case, or reaching one folder through symbolic links, count as one.
class OutputNamer {
public:
    explicit OutputNamer(const std::vector<std::string>& inputs);

    // In `folder`: the name the save dialog would propose (from the tags) or, when there is
    // none, the input's name + "-clean"; then ".ext". A name already taken in this run (or
    // naming one of the inputs) gets " (2)", " (3)", ... before the extension.
    std::string InFolder(const std::string& folder, const std::string& suggestedName,
                         const std::string& inputPath, const std::string& extension);

    // A path's folder in canonical form and its name with case folded: one key for every
    // spelling that a case-folding file system takes for one file.
    using Key = std::pair<std::string, std::u32string>;

private:
    bool Taken(const std::filesystem::path& candidate) const;

    std::vector<std::filesystem::path> inputs_;
    std::set<Key> inputKeys_;
    std::set<Key> used_;
};

}  // namespace murmex
