#include "engine/block_contract.h"

#include <algorithm>

namespace murmex {

void CorrectInputBlock(SpectralEngine& engine, int16_t* block, int bytesRead) {
    if (bytesRead > 0 && engine.Options().DcOffsetCorrection.load()) {
        engine.RemoveDcOffset(block, SpectralEngine::kBlockBytes, engine.Channels());
    }
}

int RunBlockContract(SpectralEngine& engine, BlockSource& source, bool process) {
    const int bytesRead = std::min(source.ReadBlock(engine.InputBlockData(), SpectralEngine::kBlockBytes),
                                   SpectralEngine::kBlockBytes);
    CorrectInputBlock(engine, engine.InputBlockData(), bytesRead);
    engine.ShiftHistory();
    engine.ProcessBlock(process);
    return bytesRead;
}

}  // namespace murmex
