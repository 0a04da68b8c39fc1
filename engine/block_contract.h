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

// The second step alone, for a block (kBlockSamples values) that `bytesRead` bytes were read
// into: a save reads many blocks at once for SpectralEngine::ProcessBlocks.
void CorrectInputBlock(SpectralEngine& engine, int16_t* block, int bytesRead);

}  // namespace murmex
