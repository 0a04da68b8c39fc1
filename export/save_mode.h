#pragma once

#include <optional>
#include <utility>

namespace murmex {

// How a save treats timing and the noise estimate; the defaults keep the engine's own framing
// (the output lags by the engine's latency and ends one block after the source).
struct SaveMode {
    // Run the chosen method once over the source without writing, then save from the start
    // with the noise state that pass learnt.
    bool LearnNoiseFirst = false;
    // The stretch (start, end in seconds) the learning pass runs over instead of the whole
    // source; setting it implies a learning pass.
    std::optional<std::pair<double, double>> NoiseFrom;
    // The saved audio has exactly the source's length and no delay.
    bool Aligned = false;

    bool Learns() const { return LearnNoiseFirst || NoiseFrom.has_value(); }
};

}  // namespace murmex
