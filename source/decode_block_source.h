#pragma once

#include "engine/block_contract.h"
#include "source/bass.h"

namespace murmex {

// The loaded file's decoding stream as the engine's block source, read while it is active. The
// export and the preview both read their blocks through it.
class DecodeBlockSource : public BlockSource {
public:
    explicit DecodeBlockSource(HSTREAM stream) : stream_(stream) {}
    int ReadBlock(void* dst, int maxBytes) override;

private:
    HSTREAM stream_;
};

}  // namespace murmex
