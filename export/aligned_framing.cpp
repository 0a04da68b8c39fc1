#include "export/aligned_framing.h"

#include <algorithm>
#include <cstring>

namespace murmex {

int AlignedFraming::BytesToWrite(int bytesRead) {
    read_ += std::max(bytesRead, 0);
    if (blocksToDrop_ > 0) {
        --blocksToDrop_;
        return kDropBlock;
    }
    const int64_t pending = read_ - written_;
    if (pending <= 0) return kEnd;
    const int n = static_cast<int>(std::min<int64_t>(pending, SpectralEngine::kBlockBytes));
    written_ += n;
    return n;
}

int PaddedBlockSource::ReadBlock(void* dst, int maxBytes) {
    auto* bytes = static_cast<unsigned char*>(dst);
    int filled = 0;
    // A decoder may hand over less than asked before its end; only a read of nothing ends it.
    while (!ended_ && filled < maxBytes) {
        const int n = source_.ReadBlock(bytes + filled, maxBytes - filled);
        if (n <= 0) {
            ended_ = true;
        } else {
            filled += std::min(n, maxBytes - filled);
        }
    }
    std::memset(bytes + filled, 0, static_cast<size_t>(maxBytes - filled));
    lastRead_ = filled;
    return maxBytes;
}

}  // namespace murmex
