#pragma once

#include <cstdint>
#include <string>

namespace murmex {

// What stands at a path, as stat(2) sees it (links followed): enough to tell whether a file is
// still the one a writer opened, and whether a failed save changed anything there.
struct FileState {
    bool Exists = false;
    uint32_t Mode = 0;  // st_mode: the kind of file and its permissions
    uint64_t Device = 0;
    uint64_t Inode = 0;
    int64_t Size = 0;
    int64_t ModifiedNs = 0;

    // The same file on disk (device and inode), whatever became of its content.
    bool SameFileAs(const FileState& other) const {
        return Exists && other.Exists && Device == other.Device && Inode == other.Inode;
    }
    bool operator==(const FileState&) const = default;
};

// Never opens the path: opening a FIFO blocks until someone reads it.
FileState StatFile(const std::string& path);

// True when anything stands at the name itself, a dangling symbolic link included.
bool NameTaken(const std::string& path);

// For something that exists but is no regular file, what it is ("a folder", "a named pipe
// (FIFO)", ...); empty for a regular file or nothing at all.
std::string NonRegularKind(const FileState& state);

}  // namespace murmex
