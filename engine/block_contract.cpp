#include "engine/block_contract.h"

#include <algorithm>

namespace murmex {

int ReadInputBlock(SpectralEngine& engine, BlockSource& source, int16_t* block) {
    const int bytesRead = std::min(source.ReadBlock(block, SpectralEngine::kBlockBytes), SpectralEngine::kBlockBytes);
    if (bytesRead > 0 && engine.Options().DcOffsetCorrection.load()) {
        engine.RemoveDcOffset(block, SpectralEngine::kBlockBytes, engine.Channels());
    }
    return bytesRead;
}

int RunBlockContract(SpectralEngine& engine, BlockSource& source, bool process) {
    const int bytesRead = ReadInputBlock(engine, source, engine.InputBlockData());
    engine.ShiftHistory();
    engine.ProcessBlock(process);
    return bytesRead;
}

}  // namespace murmex
