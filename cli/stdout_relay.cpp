#include "cli/stdout_relay.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "pipeline/little_endian.h"

namespace murmex {

namespace {

constexpr std::size_t kChunk = 1 << 16;
// The writer corrects the sizes at the front of the file when it ends: that part stays.
constexpr int64_t kKeptFront = 4096;
constexpr int64_t kReleaseStep = 1 << 20;

}  // namespace

StdoutRelay::StdoutRelay(std::string path, int outFd) : path_(std::move(path)), out_(outFd), buffer_(kChunk) {
    // Held open from the start: the writer's file is renamed when it is complete, perhaps
    // before the first Pump.
    Open();
}

StdoutRelay::~StdoutRelay() {
    if (in_ >= 0) ::close(in_);
}

bool StdoutRelay::Open() {
    if (in_ >= 0) return true;
    in_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
    return in_ >= 0;
}

bool StdoutRelay::Pump() {
    if (!error_.empty()) return false;
    if (!Open()) return true;  // the writer has not created it yet
    struct stat st {};
    if (::fstat(in_, &st) != 0) return true;
    const int64_t available = st.st_size;
    if (sent_ == 0 && !SendHeader(available)) return error_.empty();
    while (sent_ < available) {
        const auto want = static_cast<std::size_t>(std::min<int64_t>(available - sent_, kChunk));
        const ssize_t got = ::pread(in_, buffer_.data(), want, sent_);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (!Send(buffer_.data(), static_cast<std::size_t>(got))) return false;
        sent_ += got;
    }
    Release(sent_);
    return true;
}

// Sends the header, with unknown sizes, once it is complete: up to the start of the data chunk.
// False while it is not complete yet (or when sending failed).
bool StdoutRelay::SendHeader(int64_t available) {
    const auto want = static_cast<std::size_t>(std::min<int64_t>(available, kChunk));
    const ssize_t got = want >= 12 ? ::pread(in_, buffer_.data(), want, 0) : 0;
    if (got < 12 || std::memcmp(buffer_.data(), "RIFF", 4) != 0) return false;
    for (std::size_t at = 12; at + 8 <= static_cast<std::size_t>(got);) {
        const uint32_t size = GetLe32(buffer_.data() + at + 4);
        if (std::memcmp(buffer_.data() + at, "data", 4) == 0) {
            PutLe32(buffer_.data() + 4, 0xFFFFFFFF);
            PutLe32(buffer_.data() + at + 4, 0xFFFFFFFF);
            if (!Send(buffer_.data(), at + 8)) return false;
            sent_ = static_cast<int64_t>(at + 8);
            return true;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

bool StdoutRelay::Send(const uint8_t* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(out_, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error_ = std::strerror(errno);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void StdoutRelay::Release(int64_t upTo) {
    const int64_t end = upTo / kReleaseStep * kReleaseStep;
    const int64_t start = std::max(released_, kKeptFront);
    if (end <= start) return;
    // Where the file system cannot punch holes the file simply keeps its full size.
    if (::fallocate(in_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, start, end - start) == 0) released_ = end;
}

}  // namespace murmex
