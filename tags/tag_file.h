#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace murmex {

enum class TFileAccess { faRead, faReadWrite };

// A regular file opened by the tag routines. Every read is checked against the file's size, so a
// damaged size field can never make a routine read or cut outside the file.
class TagFile {
public:
    TagFile() = default;
    TagFile(const TagFile&) = delete;
    TagFile& operator=(const TagFile&) = delete;
    ~TagFile();

    // Fails for a missing file, anything but a regular file, a file whose permission bits allow
    // no writing at all when opened for writing (root could write to it anyway, but the user
    // marked it read-only), and any file the process may not open.
    bool Open(const std::filesystem::path& path, TFileAccess access);
    // Flushes and closes; false when pending data could not be written.
    bool Close();

    uint64_t Size() const { return Size_; }
    // Reads exactly `count` bytes at `offset`; false when they do not all lie inside the file.
    bool ReadAt(uint64_t offset, void* destination, std::size_t count);
    // `count` bytes from `offset` as a string; empty and false as for ReadAt.
    bool ReadAt(uint64_t offset, std::size_t count, std::string& destination);
    bool Append(const void* source, std::size_t count);
    // Cuts the file to `newSize` bytes, which must not exceed its size.
    bool Truncate(uint64_t newSize);

private:
    std::filesystem::path Path_;
    std::FILE* File_ = nullptr;
    uint64_t Size_ = 0;
};

}  // namespace murmex
