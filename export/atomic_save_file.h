#pragma once

#include <string>

namespace murmex {

// The file a save writes before it is put in place. It is created new in the output's folder
// (never through a symbolic link, never over another file) with the permissions the final file
// would get, and only renamed to the final name once complete, so a file already standing there
// stays whole until then and a failed save never touches it.
class AtomicSaveFile {
public:
    AtomicSaveFile() = default;
    // Discards a file that was neither put in place nor kept.
    ~AtomicSaveFile();
    AtomicSaveFile(const AtomicSaveFile&) = delete;
    AtomicSaveFile& operator=(const AtomicSaveFile&) = delete;

    // Creates the scratch file for `finalPath`; empty on success, else the system's reason.
    std::string Create(const std::string& finalPath);
    // Empty before Create, after Discard and once the file has been put in place.
    const std::string& ScratchPath() const { return scratch_; }

    // Makes the written data durable and renames the scratch file to `target`. With `mayReplace`
    // false a file that appeared at `target` meanwhile is not replaced. Empty on success (the
    // scratch file then is `target`), else the reason; the scratch file stays for Discard.
    std::string PutInPlace(const std::string& target, bool mayReplace);
    // Removes the scratch file.
    void Discard();

private:
    std::string scratch_;
};

}  // namespace murmex
