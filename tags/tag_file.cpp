#include "tags/tag_file.h"

#include <sys/types.h>

namespace murmex {
namespace fs = std::filesystem;

namespace {

bool MarkedReadOnly(const fs::path& path) {
    std::error_code error;
    const fs::perms perms = fs::status(path, error).permissions();
    constexpr fs::perms anyWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return error || (perms & anyWrite) == fs::perms::none;
}

}  // namespace

TagFile::~TagFile() {
    if (File_ != nullptr) std::fclose(File_);
}

bool TagFile::Open(const fs::path& path, TFileAccess access) {
    Close();
    std::error_code error;
    if (!fs::is_regular_file(path, error) || error) return false;
    if (access == TFileAccess::faReadWrite && MarkedReadOnly(path)) return false;
    File_ = std::fopen(path.c_str(), access == TFileAccess::faRead ? "rb" : "r+b");
    if (File_ == nullptr) return false;
    Path_ = path;
    const off_t end = std::fseek(File_, 0, SEEK_END) == 0 ? ftello(File_) : -1;
    if (end < 0) {
        Close();
        return false;
    }
    Size_ = static_cast<uint64_t>(end);
    return true;
}

bool TagFile::Close() {
    if (File_ == nullptr) return true;
    const bool closed = std::fclose(File_) == 0;
    File_ = nullptr;
    Size_ = 0;
    return closed;
}

bool TagFile::ReadAt(uint64_t offset, void* destination, std::size_t count) {
    if (File_ == nullptr || offset > Size_ || count > Size_ - offset) return false;
    if (fseeko(File_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
    return std::fread(destination, 1, count, File_) == count;
}

bool TagFile::ReadAt(uint64_t offset, std::size_t count, std::string& destination) {
    destination.assign(count, '\0');
    if (ReadAt(offset, destination.data(), count)) return true;
    destination.clear();
    return false;
}

bool TagFile::Append(const void* source, std::size_t count) {
    if (File_ == nullptr || std::fseek(File_, 0, SEEK_END) != 0) return false;
    if (std::fwrite(source, 1, count, File_) != count || std::fflush(File_) != 0) return false;
    Size_ += count;
    return true;
}

bool TagFile::Truncate(uint64_t newSize) {
    if (File_ == nullptr || newSize > Size_ || std::fflush(File_) != 0) return false;
    std::error_code error;
    fs::resize_file(Path_, newSize, error);
    if (error) return false;
    Size_ = newSize;
    return true;
}

}  // namespace murmex
