#include "pipeline/au_file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>

#include "pipeline/au_exception.h"

namespace murmex {

namespace {

[[noreturn]] void RaiseSystemError(int error) { throw EAuException(std::strerror(error)); }

int OpenFlags(uint32_t mode) {
    if (mode == fmCreate) return O_RDWR | O_CREAT | O_TRUNC;
    switch (mode & 0x3) {
        case fmOpenWrite: return O_WRONLY;
        case fmOpenReadWrite: return O_RDWR;
        default: return O_RDONLY;
    }
}

}  // namespace

TAuFileStream::TAuFileStream(const std::filesystem::path& fileName, uint32_t mode) {
    Fd = ::open(fileName.c_str(), OpenFlags(mode) | O_CLOEXEC, 0666);
    if (Fd < 0) RaiseSystemError(errno);
}

TAuFileStream::~TAuFileStream() {
    if (Fd < 0) return;
    try {
        Flush();
    } catch (const EAuException&) {
        // Nobody is left to tell; a writer that cares calls Close.
    }
    ::close(Fd);
}

void TAuFileStream::Close() {
    if (Fd < 0) return;
    std::exception_ptr failure;
    try {
        Flush();
    } catch (const EAuException&) {
        failure = std::current_exception();
    }
    const int fd = Fd;
    Fd = -1;
    const int closed = ::close(fd);
    const int closeError = errno;
    if (failure) std::rethrow_exception(failure);
    if (closed != 0) RaiseSystemError(closeError);
}

std::size_t TAuFileStream::Read(void* buffer, std::size_t count) {
    Flush();
    auto* bytes = static_cast<uint8_t*>(buffer);
    std::size_t total = 0;
    while (total < count) {
        const ssize_t n = ::read(Fd, bytes + total, count - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            RaiseSystemError(errno);
        }
        if (n == 0) break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

void TAuFileStream::Write(const void* buffer, std::size_t count) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    if (PendingBytes + count > kWriteBufferBytes) Flush();
    if (count >= kWriteBufferBytes) {
        WriteAll(bytes, count);
        return;
    }
    if (!Pending) Pending = std::make_unique<uint8_t[]>(kWriteBufferBytes);
    std::memcpy(Pending.get() + PendingBytes, bytes, count);
    PendingBytes += count;
}

void TAuFileStream::Flush() {
    const std::size_t count = PendingBytes;
    // The bytes count as handed over whatever happens next, so a failure is raised only once.
    PendingBytes = 0;
    if (count > 0) WriteAll(Pending.get(), count);
}

void TAuFileStream::WriteAll(const uint8_t* bytes, std::size_t count) {
    std::size_t total = 0;
    while (total < count) {
        const ssize_t n = ::write(Fd, bytes + total, count - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            RaiseSystemError(errno);
        }
        // A write that makes no progress would otherwise loop for ever.
        if (n == 0) RaiseSystemError(ENOSPC);
        total += static_cast<std::size_t>(n);
    }
}

int64_t TAuFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    Flush();
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                       : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                          : SEEK_END;
    const off_t position = ::lseek(Fd, static_cast<off_t>(offset), whence);
    if (position < 0) RaiseSystemError(errno);
    return position;
}

int64_t TAuFileStream::Position() { return Seek(0, TSeekOrigin::soCurrent); }

int64_t TAuFileStream::Size() {
    Flush();
    struct stat info {};
    if (::fstat(Fd, &info) != 0) RaiseSystemError(errno);
    return info.st_size;
}

}  // namespace murmex
