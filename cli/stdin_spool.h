#pragma once

#include <sys/types.h>

#include <string>

namespace murmex {

// A copy of standard input in a scratch folder, for the loader, which needs a file it can seek
// in and measure. The copy is named "stdin" with the extension its first bytes suggest (the
// loader picks its reader and names the format by it); the folder goes when this object does.
class StdinSpool {
public:
    StdinSpool() = default;
    ~StdinSpool();
    StdinSpool(const StdinSpool&) = delete;
    StdinSpool& operator=(const StdinSpool&) = delete;

    // Reads `fd` to its end. False when that failed, nothing came, its first bytes are not audio
    // the loader reads, or an interrupt (InterruptCount) came first; Error() says why.
    bool Fill(int fd);
    bool WasInterrupted() const { return interrupted_; }
    const std::string& Path() const { return path_; }
    const std::string& Error() const { return error_; }

    // ".wav", ".mp3", ".ogg", ".wma", ".flac", or "" when the bytes are none of these.
    static std::string ExtensionFor(const unsigned char* head, std::size_t size);

private:
    ssize_t Read(int fd, unsigned char* into, std::size_t size);
    bool Fail(const std::string& reason);

    std::string folder_;
    std::string path_;
    std::string error_;
    bool interrupted_ = false;
};

}  // namespace murmex
