#include "plugin_test_support.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "../engine/engine_test_support.h"
#include "plugin/plugin_ports.h"

namespace murmex::test {

std::vector<int16_t> TestSignal(int channels, size_t frames, unsigned seed) {
    const size_t samples = frames * static_cast<size_t>(channels);
    const std::vector<double> noise = GaussianNoise(samples, 600.0, seed);
    return MakeSignal(samples, [&](size_t n) {
        const size_t frame = n / static_cast<size_t>(channels);
        const int channel = static_cast<int>(n % static_cast<size_t>(channels));
        // Tones of half a second on, half off, a different pitch per channel.
        const bool on = (frame / 22050) % 2 == 1;
        const double tone = on ? Sine(frame, 6000.0, 0.011 + 0.004 * channel) : 0.0;
        return noise[n] + tone + 150.0 * channel;
    });
}

void ApplyControl(uint32_t port, float value, ProcessingOptions& options, bool& process) {
    const bool on = value > 0.0f;
    switch (port) {
        case kPortBias: SetBiasPosition(static_cast<int>(std::lround(value)), options); break;
        case kPortReduction: SetReductionPosition(static_cast<int>(std::lround(value)), options); break;
        case kPortApply: process = on; break;
        case kPortMethod:
            options.Method = std::lround(value) == 1 ? NoiseReductionMethod::Adaptive : NoiseReductionMethod::Classic;
            break;
        case kPortDcOffset: options.DcOffsetCorrection = on; break;
        case kPortDetail: options.DetailAmplifier = on; break;
        case kPortStopEstimation: options.StopNoiseEstimation = on; break;
        case kPortCaptureMinima: options.CaptureMinima = on; break;
        default: throw std::invalid_argument("not an input control port");
    }
}

namespace {

// Runs whole blocks of `input` through the contract, applying each change before the first
// block that completes at or after its frame.
std::vector<int16_t> RunBlocks(LoadedEngine& loaded, std::vector<int16_t> input,
                               const std::vector<ControlChange>& changes, bool& process) {
    const int channels = loaded.engine->Channels();
    const size_t block = SpectralEngine::kBlockSamples;
    input.resize((input.size() + block - 1) / block * block, 0);
    VectorSource source(input);
    std::vector<int16_t> output;
    size_t next = 0;
    for (size_t b = 0; b < input.size() / block; ++b) {
        const uint64_t lastFrame = (b + 1) * static_cast<uint64_t>(BlockFrames(channels)) - 1;
        for (; next < changes.size() && changes[next].frame <= lastFrame; ++next) {
            ApplyControl(changes[next].port, changes[next].value, loaded.options, process);
        }
        RunBlockContract(*loaded.engine, source, process);
        output.insert(output.end(), loaded.engine->OutputBlock().begin(), loaded.engine->OutputBlock().end());
    }
    return output;
}

}  // namespace

std::vector<int16_t> EngineOutput(int channels, const std::vector<int16_t>& input,
                                  const std::vector<ControlChange>& changes) {
    return EngineOutputAfterLearning(channels, {}, {}, input, changes);
}

std::vector<int16_t> EngineOutputAfterLearning(int channels, const std::vector<int16_t>& learn,
                                               const std::vector<ControlChange>& learnChanges,
                                               const std::vector<int16_t>& input,
                                               const std::vector<ControlChange>& changes) {
    LoadedEngine loaded(channels);
    loaded.engine->SetSampleRate(static_cast<int>(kTestRate));
    bool process = true;
    if (!learn.empty()) {
        RunBlocks(loaded, learn, learnChanges, process);
        loaded.engine->PrepareEngineKeepingNoise();
    }
    return RunBlocks(loaded, input, changes, process);
}

size_t CountMismatches(const std::vector<float>& plugin, const std::vector<int16_t>& engine, int channels,
                       std::string& where) {
    const size_t lead = static_cast<size_t>(SpectralEngine::kBlockSamples);
    size_t mismatches = 0;
    for (size_t n = 0; n < plugin.size(); ++n) {
        const float expected = n < lead ? 0.0f : (n - lead < engine.size() ? engine[n - lead] / 32768.0f : NAN);
        if (plugin[n] == expected) continue;
        if (mismatches++ == 0) {
            std::ostringstream text;
            text << "frame " << n / static_cast<size_t>(channels) << " channel " << n % static_cast<size_t>(channels)
                 << ": plugin " << plugin[n] * 32768.0f << ", engine " << expected * 32768.0f;
            where = text.str();
        }
    }
    return mismatches;
}

namespace {

void PutLe(std::ostream& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xff));
}

uint32_t GetLe32(const char* at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(at[i]);
    return v;
}

}  // namespace

void WriteFloatWav(const std::string& path, const std::vector<int16_t>& interleaved, int channels, int rate) {
    std::ofstream out(path, std::ios::binary);
    const auto dataBytes = static_cast<uint32_t>(interleaved.size() * 4);
    out.write("RIFF", 4);
    PutLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    PutLe(out, 16, 4);
    PutLe(out, 3, 2);  // IEEE float
    PutLe(out, static_cast<uint32_t>(channels), 2);
    PutLe(out, static_cast<uint32_t>(rate), 4);
    PutLe(out, static_cast<uint32_t>(rate * channels * 4), 4);
    PutLe(out, static_cast<uint32_t>(channels * 4), 2);
    PutLe(out, 32, 2);
    out.write("data", 4);
    PutLe(out, dataBytes, 4);
    for (int16_t s : interleaved) {
        const float f = s / 32768.0f;
        uint32_t bits = 0;
        std::memcpy(&bits, &f, 4);
        PutLe(out, bits, 4);
    }
    if (!out) throw std::runtime_error("could not write " + path);
}

std::vector<float> ReadFloatWav(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
        throw std::runtime_error(path + " is not a WAV file");
    }
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint32_t size = GetLe32(bytes.data() + at + 4);
        if (bytes.compare(at, 4, "data") == 0) {
            const size_t count = std::min<size_t>(size, bytes.size() - at - 8) / 4;
            std::vector<float> samples(count);
            std::memcpy(samples.data(), bytes.data() + at + 8, count * 4);
            return samples;
        }
        at += 8 + size + (size & 1);
    }
    throw std::runtime_error(path + " has no data chunk");
}

}  // namespace murmex::test
