#pragma once

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

    // Reads `fd` to its end. False when that failed or nothing came; Error() says why.
    bool Fill(int fd);
    const std::string& Path() const { return path_; }
    const std::string& Error() const { return error_; }

    // ".wav", ".mp3", ".ogg", ".wma", ".flac", or "" when the bytes are none of these.
    static std::string ExtensionFor(const unsigned char* head, std::size_t size);

private:
    bool Fail(const std::string& reason);

    std::string folder_;
    std::string path_;
    std::string error_;
};

}  // namespace murmex
