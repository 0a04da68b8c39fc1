#include "cli/stdin_spool.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "cli/interrupt.h"

namespace murmex {

namespace fs = std::filesystem;

namespace {

// Enough for every signature ExtensionFor knows.
constexpr std::size_t kSniffedBytes = 16;
constexpr int kInterruptTurnMs = 50;

bool StartsWith(const unsigned char* head, std::size_t size, const char* magic, std::size_t length) {
    return size >= length && std::memcmp(head, magic, length) == 0;
}

bool WriteAll(int fd, const unsigned char* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

StdinSpool::~StdinSpool() {
    std::error_code ec;
    if (!folder_.empty()) fs::remove_all(folder_, ec);
}

std::string StdinSpool::ExtensionFor(const unsigned char* head, std::size_t size) {
    static const unsigned char kAsf[] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11};
    if (StartsWith(head, size, "RIFF", 4) || StartsWith(head, size, "RF64", 4)) return ".wav";
    if (StartsWith(head, size, "OggS", 4)) return ".ogg";
    if (StartsWith(head, size, "fLaC", 4)) return ".flac";
    if (size >= sizeof kAsf && std::memcmp(head, kAsf, sizeof kAsf) == 0) return ".wma";
    if (StartsWith(head, size, "ID3", 3) || (size >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0)) return ".mp3";
    return "";
}

// Reads what `fd` has, waiting a turn at a time so that an interrupt is answered at once.
ssize_t StdinSpool::Read(int fd, unsigned char* into, std::size_t size) {
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, kInterruptTurnMs);
        // Looked at after the wait: a signal that ends it has been handled by then.
        if (InterruptCount() > 0) {
            interrupted_ = true;
            return -1;
        }
        if (polled == 0 || (polled < 0 && errno == EINTR)) continue;
        if (polled < 0) return -1;
        const ssize_t n = ::read(fd, into, size);
        if (n >= 0 || errno != EINTR) return n;
    }
}

bool StdinSpool::Fill(int fd) {
    std::string folder = (fs::temp_directory_path() / "murmex-stdin-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) return Fail(folder + ": " + std::strerror(errno));
    folder_ = folder;
    std::vector<unsigned char> buffer(1 << 16);
    std::size_t head = 0;
    // The first bytes decide whether this is audio at all, and choose the copy's name, before
    // anything is copied.
    while (head < kSniffedBytes) {
        const ssize_t n = Read(fd, buffer.data() + head, buffer.size() - head);
        if (n < 0) return Fail(interrupted_ ? "interrupted" : std::strerror(errno));
        if (n == 0) break;
        head += static_cast<std::size_t>(n);
    }
    if (head == 0) return Fail("nothing was read (the input is empty)");
    const std::string extension = ExtensionFor(buffer.data(), head);
    if (extension.empty()) {
        return Fail("not WAV, MP3, Ogg Vorbis, WMA or FLAC (convert it on the way, for example with ffmpeg -i "
                    "INPUT -f wav -)");
    }
    path_ = folder_ + "/stdin" + extension;
    const int out = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) return Fail(path_ + ": " + std::strerror(errno));
    bool ok = WriteAll(out, buffer.data(), head);
    while (ok) {
        const ssize_t n = Read(fd, buffer.data(), buffer.size());
        if (n < 0) {
            ::close(out);
            return Fail(interrupted_ ? "interrupted" : std::strerror(errno));
        }
        if (n == 0) break;
        ok = WriteAll(out, buffer.data(), static_cast<std::size_t>(n));
    }
    // The copy may be cut short by a full disk; the loader would then see a shorter source.
    const int writeErrno = ok ? 0 : errno;
    if (::close(out) != 0 && ok) return Fail(path_ + ": " + std::strerror(errno));
    if (!ok) return Fail(path_ + ": " + std::strerror(writeErrno));
    return true;
}

bool StdinSpool::Fail(const std::string& reason) {
    error_ = reason;
    return false;
}

}  // namespace murmex
