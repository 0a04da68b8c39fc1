// Runs the engine over a 16-bit PCM WAV file with a chosen method and writes what it gives,
// latency included, so that the quality bench can compare methods without the command line.
//   murmex-denoise-wav classic|adaptive INPUT.wav OUTPUT.wav [--learn]
#include <cstdint>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "bench/quality/wav_file.h"
#include "engine/block_contract.h"

namespace {

using murmex::SpectralEngine;
using murmex_bench::Pcm;
using murmex_bench::ReadWav;
using murmex_bench::WriteWav;

// Serves the samples block by block, then padBlocks blocks of silence so that the tail comes out.
class PaddedSource : public murmex::BlockSource {
public:
    PaddedSource(const std::vector<int16_t>& samples, size_t padBlocks) : samples_(samples), padBlocks_(padBlocks) {}
    int ReadBlock(void* dst, int maxBytes) override {
        const size_t want = static_cast<size_t>(maxBytes) / 2;
        auto* out = static_cast<int16_t*>(dst);
        for (size_t i = 0; i < want; ++i, ++position_) out[i] = position_ < samples_.size() ? samples_[position_] : 0;
        return maxBytes;
    }
    bool Done() const { return position_ >= samples_.size() + padBlocks_ * SpectralEngine::kBlockSamples; }

private:
    const std::vector<int16_t>& samples_;
    size_t padBlocks_;
    size_t position_ = 0;
};

std::vector<int16_t> RunPass(SpectralEngine& engine, const std::vector<int16_t>& samples, size_t padBlocks) {
    PaddedSource source(samples, padBlocks);
    std::vector<int16_t> output;
    while (!source.Done()) {
        murmex::RunBlockContract(engine, source, true);
        output.insert(output.end(), engine.OutputBlock().begin(), engine.OutputBlock().end());
    }
    return output;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5 || (argc == 5 && std::string(argv[4]) != "--learn") || !murmex::MethodFromName(argv[1])) {
        std::cerr << "usage: murmex-denoise-wav classic|adaptive INPUT.wav OUTPUT.wav [--learn]\n";
        return 2;
    }
    try {
        Pcm pcm = ReadWav(argv[2]);
        murmex::ProcessingOptions options;
        options.Method = *murmex::MethodFromName(argv[1]);
        SpectralEngine engine(options);
        murmex::FftwInterface::ImportTunedPlans();
        engine.LoadFor(pcm.channels, pcm.rate);
        engine.PrepareEngine();
        // The learning pass stops with the audio: trailing silence would teach a noise floor of zero.
        if (argc == 5) {
            RunPass(engine, pcm.samples, 0);
            engine.PrepareEngineKeepingNoise();
        }
        pcm.samples = RunPass(engine, pcm.samples, 2);
        WriteWav(argv[3], pcm);
    } catch (const std::exception& e) {
        std::cerr << "murmex-denoise-wav: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
