#pragma once

#include <cstdint>
#include <string>

#include "pipeline/file_state.h"
#include "source/source_info.h"

namespace murmex {

// Whether a save that ran to the end of the decoded data got all of the source, as long as it
// was at load. The decoder counts PCM and FLAC sources exactly. For compressed ones the length
// is an estimate from the container, which a VBR MP3 without a length header can miss by far:
// there only a shortfall beyond a tolerance, in a source file that changed since it was loaded,
// is an early end, so that an intact file is never reported.
class EarlyEndCheck {
public:
    explicit EarlyEndCheck(const SourceInfo& source);

    // Bytes a complete save may fall short of the length at load.
    int64_t AllowedShortfall() const { return allowedShortfall_; }
    bool EndedEarly(int64_t decodedBytes) const;
    // "the source ended early: X of Y s saved (...)"
    std::string Message(int64_t decodedBytes) const;

private:
    double Seconds(int64_t bytes) const;

    std::string sourcePath_;
    FileState sourceAtLoad_;
    bool lengthCounted_ = false;
    int64_t lengthBytes_ = 0;
    int64_t bytesPerSecond_ = 0;
    int64_t allowedShortfall_ = 0;
};

}  // namespace murmex
