#include "engine_test_support.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <random>

namespace murmex::test {

int VectorSource::ReadBlock(void* dst, int maxBytes) {
    const size_t available = samples_.size() - position_;
    const size_t count = std::min(available, static_cast<size_t>(maxBytes / 2));
    std::memcpy(dst, samples_.data() + position_, count * 2);
    position_ += count;
    return static_cast<int>(count * 2);
}

LoadedEngine::LoadedEngine(int channels, int sampleRate)
    : rate(sampleRate), engine(std::make_unique<SpectralEngine>(options)) {
    Load(channels);
    engine->PrepareEngine();
}

void LoadedEngine::Load(int channels) {
    engine->ClearEngineReady();
    engine->LoadFor(channels, rate);
}

std::vector<int16_t> MakeSignal(size_t samples, const std::function<double(size_t)>& value) {
    std::vector<int16_t> out(samples);
    for (size_t n = 0; n < samples; ++n) {
        out[n] = static_cast<int16_t>(std::lround(std::clamp(value(n), -32768.0, 32767.0)));
    }
    return out;
}

std::vector<double> GaussianNoise(size_t samples, double sigma, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> normal(0.0, sigma);
    std::vector<double> out(samples);
    for (auto& v : out) v = normal(rng);
    return out;
}

double Sine(size_t n, double amplitude, double cyclesPerSample) {
    return amplitude * std::sin(2.0 * std::numbers::pi * cyclesPerSample * static_cast<double>(n));
}

std::vector<int16_t> RunAll(SpectralEngine& engine, const std::vector<int16_t>& input, bool process) {
    VectorSource source(input);
    std::vector<int16_t> output;
    const size_t blocks = input.size() / SpectralEngine::kBlockSamples;
    for (size_t b = 0; b < blocks; ++b) {
        RunBlockContract(engine, source, process);
        output.insert(output.end(), engine.OutputBlock().begin(), engine.OutputBlock().end());
    }
    return output;
}

double Rms(const std::vector<int16_t>& samples, size_t from) {
    double sum = 0.0;
    for (size_t n = from; n < samples.size(); ++n) sum += static_cast<double>(samples[n]) * samples[n];
    return std::sqrt(sum / static_cast<double>(samples.size() - from));
}

void SetStoredValue(std::vector<uint8_t>& bytes, const LearntNoise::StoredValues& run, size_t index, double value) {
    using Kind = LearntNoise::StoredValues::Kind;
    uint8_t* at = bytes.data() + run.offset + index * 4;
    if (run.kind == Kind::Count) {
        const auto count = static_cast<int32_t>(value);
        std::memcpy(at, &count, sizeof count);
    } else {
        const auto number = static_cast<float>(value);
        std::memcpy(at, &number, sizeof number);
    }
}

int MaxDelayedDifference(const std::vector<int16_t>& input, const std::vector<int16_t>& output,
                         size_t delay, size_t from) {
    int worst = 0;
    for (size_t n = from; n + delay < output.size() && n < input.size(); ++n) {
        worst = std::max(worst, std::abs(output[n + delay] - input[n]));
    }
    return worst;
}

}  // namespace murmex::test
