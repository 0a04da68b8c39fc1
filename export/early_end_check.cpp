#include "export/early_end_check.h"

#include <algorithm>
#include <cstdio>

namespace murmex {

namespace {

bool LengthIsCounted(const std::string& extension) {
    return extension == ".WAV" || extension == ".FLAC" || extension == ".FLC";
}

// An estimate may be off by a second or by a few percent, whichever is more.
constexpr int64_t kEstimatePercent = 5;

}  // namespace

EarlyEndCheck::EarlyEndCheck(const SourceInfo& source)
    : sourcePath_(source.SourcePath),
      sourceAtLoad_(source.FileAtLoad),
      lengthCounted_(LengthIsCounted(source.Extension)),
      lengthBytes_(source.LengthBytes),
      bytesPerSecond_(source.SampleRate * source.FrameBytes()) {
    if (!lengthCounted_) allowedShortfall_ = std::max(bytesPerSecond_, lengthBytes_ * kEstimatePercent / 100);
}

bool EarlyEndCheck::EndedEarly(int64_t decodedBytes) const {
    // A length the decoder could not tell (-1) gives nothing to compare with.
    if (lengthBytes_ <= 0 || lengthBytes_ - decodedBytes <= allowedShortfall_) return false;
    return lengthCounted_ || !(StatFile(sourcePath_) == sourceAtLoad_);
}

double EarlyEndCheck::Seconds(int64_t bytes) const {
    return bytesPerSecond_ > 0 ? static_cast<double>(bytes) / static_cast<double>(bytesPerSecond_) : 0.0;
}

std::string EarlyEndCheck::Message(int64_t decodedBytes) const {
    char text[96];
    std::snprintf(text, sizeof text, "the source ended early: %.1f of %.1f s saved", Seconds(decodedBytes),
                  Seconds(lengthBytes_));
    return std::string(text) + " (" + sourcePath_ + " is shorter than when it was loaded)";
}

}  // namespace murmex
