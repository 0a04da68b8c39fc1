#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/spectral_engine.h"
#include "export/save_mode.h"
#include "source/bass.h"
#include "source/source_info.h"

namespace murmex {

// Bytes [Begin, End) of the decoded stream; End < 0 reaches to the end of the source.
struct ByteRange {
    int64_t Begin = 0;
    int64_t End = -1;
    // Bytes the range spans; 0 when its end is not known.
    int64_t Length() const { return End >= Begin ? End - Begin : 0; }
};

// Why the mode's noise stretch cannot be learnt from this source, or empty when it can.
std::string NoiseStretchProblem(const SaveMode& mode, const SourceInfo& source);

// The part of the source a learning pass runs over: the noise stretch, or all of it.
ByteRange LearningRange(const SaveMode& mode, const SourceInfo& source);

// A pass of the chosen method over part of the source that writes nothing: the engine's noise
// state then describes that audio, and the save that follows starts from it. The pass tracks
// the noise even with "Stop noise estimation" on, since learning is what it is for; the
// switch then freezes what was learnt for the save.
class NoiseLearner {
public:
    // Told the source bytes of each block; false stops the pass.
    using BlockDone = std::function<bool(int bytesRead)>;

    NoiseLearner(SpectralEngine& engine, HSTREAM stream) : engine_(engine), stream_(stream) {}

    // Runs the pass, then leaves the engine ready to start a run with the learnt noise state
    // and the stream at its start. False when onBlock stopped it or the stream could not be
    // positioned (Error() then says why).
    bool Learn(ByteRange range, const BlockDone& onBlock);
    const std::string& Error() const { return error_; }

private:
    SpectralEngine& engine_;
    HSTREAM stream_;
    std::string error_;
};

}  // namespace murmex
