#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace murmex {

// Streams a WAV file that a writer is still writing to a pipe (standard output) as it grows.
// The writer needs a file it can seek in; a pipe cannot go back to fill in the sizes, so the
// header goes out with both sizes marked unknown (0xFFFFFFFF, which readers take as "to the
// end"), and the size patches the writer makes at the end stay in the file. What was sent is
// punched out of the file, so the disk holds little more than what is not yet sent.
class StdoutRelay {
public:
    StdoutRelay(std::string path, int outFd);
    ~StdoutRelay();
    StdoutRelay(const StdoutRelay&) = delete;
    StdoutRelay& operator=(const StdoutRelay&) = delete;

    // Sends what was written since the last call. False when the pipe refused it (Error() says
    // why); nothing more is sent then.
    bool Pump();
    // The reason the last Pump failed ("Broken pipe", ...).
    const std::string& Error() const { return error_; }

private:
    bool Open();
    bool SendHeader(int64_t available);
    bool Send(const uint8_t* data, std::size_t size);
    void Release(int64_t upTo);

    std::string path_;
    int out_;
    int in_ = -1;
    int64_t sent_ = 0;       // bytes of the file already on the pipe
    int64_t released_ = 0;   // bytes of the file already punched out
    std::string error_;
    std::vector<uint8_t> buffer_;
};

}  // namespace murmex
