#pragma once

#include "engine/spectral_engine.h"

namespace murmex {

// Where decoded PCM comes from for one block.
class BlockSource {
public:
    virtual ~BlockSource() = default;
    // Reads up to maxBytes into dst and returns the bytes read; <= 0 when there is no data.
    virtual int ReadBlock(void* dst, int maxBytes) = 0;
};

// The per-block steps shared by preview and export: read into InputBlock, remove the DC offset
// when that switch is on, shift the history, ProcessBlock(process). The processed block is then
// in OutputBlock. When nothing is read, InputBlock keeps its previous content and is not
// filtered again. Returns the byte count read.
int RunBlockContract(SpectralEngine& engine, BlockSource& source, bool process);

// The first two steps alone, into `block` (kBlockSamples values, which keep what they held
// beyond a short read): a save gathers blocks read this way for SpectralEngine::ProcessBlocks.
int ReadInputBlock(SpectralEngine& engine, BlockSource& source, int16_t* block);

}  // namespace murmex
