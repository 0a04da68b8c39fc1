#pragma once

#include <cstdint>
#include <string>

#include "source/source_info.h"

namespace murmex {

// Whether a save that ran to the end of the decoded data got all of the source, as long as it
// was at load. The decoder counts PCM and FLAC sources exactly; for compressed ones the length
// is an estimate from the container, so a shortfall within a tolerance is no early end.
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
    int64_t lengthBytes_ = 0;
    int64_t bytesPerSecond_ = 0;
    int64_t allowedShortfall_ = 0;
};

}  // namespace murmex
