#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/block_contract.h"
#include "engine/learnt_noise.h"

namespace murmex::test {

// Interleaved 16-bit PCM served block by block.
class VectorSource : public BlockSource {
public:
    explicit VectorSource(std::vector<int16_t> samples) : samples_(std::move(samples)) {}
    int ReadBlock(void* dst, int maxBytes) override;

private:
    std::vector<int16_t> samples_;
    size_t position_ = 0;
};

// An engine set up as a file load does, then prepared for a run.
struct LoadedEngine {
    explicit LoadedEngine(int channels, int sampleRate = AdaptiveDenoiser::kDefaultSampleRate);
    void Load(int channels);  // a later file load on the same engine

    int rate;
    ProcessingOptions options;
    std::unique_ptr<SpectralEngine> engine;
};

// Sample n of an interleaved stream, from a generator of (sample index) -> value, rounded and
// clamped to 16 bits.
std::vector<int16_t> MakeSignal(size_t samples, const std::function<double(size_t)>& value);
// Gaussian noise with the given standard deviation; fixed seed so runs repeat.
std::vector<double> GaussianNoise(size_t samples, double sigma, unsigned seed = 1);
double Sine(size_t n, double amplitude, double cyclesPerSample);

// Runs every block of `input` through the block contract and returns the concatenated output.
std::vector<int16_t> RunAll(SpectralEngine& engine, const std::vector<int16_t>& input, bool process);

// RMS of samples[from...].
double Rms(const std::vector<int16_t>& samples, size_t from = 0);

// Sets value `index` of a stored run of a noise print's bytes, in the run's own type.
void SetStoredValue(std::vector<uint8_t>& bytes, const LearntNoise::StoredValues& run, size_t index, double value);

// Largest |output[n + delay] - input[n]| over the samples both cover from `from` on.
int MaxDelayedDifference(const std::vector<int16_t>& input, const std::vector<int16_t>& output,
                         size_t delay, size_t from = 0);

}  // namespace murmex::test
