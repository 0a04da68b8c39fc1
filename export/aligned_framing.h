#pragma once

#include <cstdint>

#include "engine/block_contract.h"

namespace murmex {

// Turns the engine's delayed blocks into output of exactly the source's length: the outputs
// that only hold the engine's latency are dropped, and once the source has ended silence is
// fed until every source sample has come out of the engine.
class AlignedFraming {
public:
    // What to do with the OutputBlock of the block just processed.
    static constexpr int kDropBlock = 0;  // hand nothing on; process another block
    static constexpr int kEnd = -1;       // everything is written

    explicit AlignedFraming(int latencyBlocks) : blocksToDrop_(latencyBlocks) {}

    // After a block whose read took `bytesRead` bytes of the source (fewer than a block once
    // the source has ended): the bytes of OutputBlock to hand on, kDropBlock or kEnd. While
    // the source lasts every block is whole, so the bytes still owed only run out after its end.
    int BytesToWrite(int bytesRead);

    int64_t BytesRead() const { return read_; }
    int64_t BytesWritten() const { return written_; }

private:
    int blocksToDrop_;
    int64_t read_ = 0;
    int64_t written_ = 0;
};

// A block source that always delivers whole blocks: a short read is completed by further
// reads, and what the source no longer has is silence, so the engine's tail can be flushed.
class PaddedBlockSource : public BlockSource {
public:
    explicit PaddedBlockSource(BlockSource& source) : source_(source) {}
    // Fills all maxBytes; returns maxBytes. LastRead() tells how many came from the source.
    int ReadBlock(void* dst, int maxBytes) override;
    int LastRead() const { return lastRead_; }

private:
    BlockSource& source_;
    bool ended_ = false;
    int lastRead_ = 0;
};

}  // namespace murmex
