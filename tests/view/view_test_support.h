#pragma once

#include <QImage>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

#include "engine/spectral_engine.h"

namespace murmex::test {

// An engine loaded for `channels` and prepared, as a Play would leave it.
struct PreparedEngine {
    explicit PreparedEngine(int channels) : engine(std::make_unique<SpectralEngine>(options)) {
        engine->LoadFor(channels, AdaptiveDenoiser::kDefaultSampleRate);
        engine->PrepareEngine();
    }

    // Processes `blocks` blocks whose interleaved sample n is value(n).
    template <typename Value>
    void Run(int blocks, Value value) {
        for (int b = 0; b < blocks; ++b) {
            int16_t* in = engine->InputBlockData();
            for (int i = 0; i < SpectralEngine::kBlockSamples; ++i) {
                in[i] = static_cast<int16_t>(std::lround(value(b * SpectralEngine::kBlockSamples + i)));
            }
            engine->ShiftHistory();
            engine->ProcessBlock(true);
        }
    }

    ProcessingOptions options;
    std::unique_ptr<SpectralEngine> engine;
};

// Records every picture handed to the window.
struct PictureLog {
    std::vector<QImage> pictures;
    auto Sink() {
        return [this](const QImage& picture) { pictures.push_back(picture); };
    }
};

inline double Tone(int n, double amplitude, double cyclesPerSample) {
    return amplitude * std::sin(2.0 * std::numbers::pi * cyclesPerSample * n);
}

}  // namespace murmex::test
