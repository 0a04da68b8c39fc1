#include "export/atomic_save_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include "pipeline/file_state.h"

namespace murmex {

namespace fs = std::filesystem;

namespace {

// Short, so that a final name at the file system's length limit still has a scratch name.
std::string ScratchName(std::mt19937& random) {
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string name = ".murmex-";
    for (int i = 0; i < 8; ++i) name += digits[random() % 36];
    return name + ".part";
}

std::string FolderOf(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? "." : folder.string();
}

int Rename(const std::string& from, const std::string& to, bool mayReplace) {
    if (mayReplace) return ::rename(from.c_str(), to.c_str());
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    // File systems without the flag (FUSE, some network ones): the check and the rename are
    // then two steps, which is the best they allow.
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (NameTaken(to)) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from.c_str(), to.c_str());
}

}  // namespace

AtomicSaveFile::~AtomicSaveFile() { Discard(); }

std::string AtomicSaveFile::Create(const std::string& finalPath) {
    Discard();
    // A file being replaced keeps its permissions; a new one gets what the umask leaves of 0666.
    struct stat existing {};
    const bool replaces = ::stat(finalPath.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    std::mt19937 random(std::random_device{}());
    const std::string folder = FolderOf(finalPath);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = (fs::path(folder) / ScratchName(random)).string();
        // O_EXCL also refuses a symbolic link at the name, dangling or not.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return std::strerror(errno);
        }
        scratch_ = path;
        const bool modeSet = !replaces || ::fchmod(fd, existing.st_mode & 07777) == 0;
        const int modeError = errno;
        if (::close(fd) != 0 || !modeSet) {
            const std::string reason = std::strerror(modeSet ? errno : modeError);
            Discard();
            return reason;
        }
        return {};
    }
    return "no free name for a temporary file";
}

std::string AtomicSaveFile::PutInPlace(const std::string& target, bool mayReplace) {
    if (scratch_.empty()) return "the file was not written";
    // Only where a file is replaced could a crash lose data that was already safe: the old file
    // goes, and the new one must be on disk before it does.
    if (NameTaken(target)) {
        const int fd = ::open(scratch_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return std::strerror(errno);
        const int synced = ::fsync(fd);
        const int syncError = errno;
        ::close(fd);
        if (synced != 0) return std::strerror(syncError);
    }
    if (Rename(scratch_, target, mayReplace) != 0) {
        return errno == EEXIST ? "a file of that name appeared while it was being saved" : std::strerror(errno);
    }
    scratch_.clear();
    return {};
}

void AtomicSaveFile::Discard() {
    if (scratch_.empty()) return;
    ::unlink(scratch_.c_str());
    scratch_.clear();
}

}  // namespace murmex
