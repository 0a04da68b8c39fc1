#include "engine/block_contract.h"

#include <algorithm>

namespace murmex {

int RunBlockContract(SpectralEngine& engine, BlockSource& source, bool process) {
    const int bytesRead = std::min(source.ReadBlock(engine.InputBlockData(), SpectralEngine::kBlockBytes),
                                   SpectralEngine::kBlockBytes);
    if (bytesRead > 0 && engine.Options().DcOffsetCorrection.load()) {
        engine.RemoveDcOffset(engine.InputBlockData(), SpectralEngine::kBlockBytes, engine.Channels());
    }
    engine.ShiftHistory();
    engine.ProcessBlock(process);
    return bytesRead;
}

}  // namespace murmex
