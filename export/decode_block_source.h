#pragma once

#include "engine/block_contract.h"
#include "source/bass.h"

namespace murmex {

// The export's block source: the loaded file's decoding stream, read while it is active.
class DecodeBlockSource : public BlockSource {
public:
    explicit DecodeBlockSource(HSTREAM stream) : stream_(stream) {}
    int ReadBlock(void* dst, int maxBytes) override;

private:
    HSTREAM stream_;
};

}  // namespace murmex
