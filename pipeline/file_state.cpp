#include "pipeline/file_state.h"

#include <sys/stat.h>

namespace murmex {

FileState StatFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    FileState state;
    state.Exists = true;
    state.Mode = static_cast<uint32_t>(info.st_mode);
    state.Device = static_cast<uint64_t>(info.st_dev);
    state.Inode = static_cast<uint64_t>(info.st_ino);
    state.Size = static_cast<int64_t>(info.st_size);
    state.ModifiedNs = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return state;
}

bool NameTaken(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string NonRegularKind(const FileState& state) {
    if (!state.Exists) return {};
    const mode_t mode = static_cast<mode_t>(state.Mode);
    if (S_ISREG(mode)) return {};
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a named pipe (FIFO)";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "a special file";
}

}  // namespace murmex
