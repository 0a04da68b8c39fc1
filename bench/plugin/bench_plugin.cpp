// CPU time of the stereo plugin per second of 48 kHz audio, in host blocks of 64, 256 and 1024
// frames, against the engine alone processing the same audio through its block contract. Both
// are timed in the same iteration, so the ratio is what the plugin's buffering and conversion
// add, whatever the machine.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/block_contract.h"
#include "plugin/lv2_plugin.h"
#include "plugin/plugin_ports.h"

namespace murmex {
namespace {

constexpr int kRate = 48000;
constexpr int kChannels = 2;
constexpr int kFrames = kRate;  // one second

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// A second of speech-like stereo audio over noise, as 16-bit samples.
std::vector<int16_t> Audio() {
    std::vector<int16_t> samples(static_cast<size_t>(kFrames) * kChannels);
    uint32_t seed = 12345;
    for (size_t n = 0; n < samples.size(); ++n) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 1500.0;
        const double tone = (n / 9600) % 2 ? 5000.0 * std::sin(0.07 * static_cast<double>(n / kChannels)) : 0.0;
        samples[n] = static_cast<int16_t>(std::lround(noise + tone));
    }
    return samples;
}

class MemorySource : public BlockSource {
public:
    explicit MemorySource(const std::vector<int16_t>& samples) : samples_(samples) {}
    int ReadBlock(void* dst, int maxBytes) override {
        const size_t count = std::min(samples_.size() - at_, static_cast<size_t>(maxBytes) / 2);
        std::memcpy(dst, samples_.data() + at_, count * 2);
        at_ += count;
        return static_cast<int>(count * 2);
    }
    void Rewind() { at_ = 0; }

private:
    const std::vector<int16_t>& samples_;
    size_t at_ = 0;
};

void BM_StereoPluginVersusEngine(benchmark::State& state) {
    const auto hostBlock = static_cast<uint32_t>(state.range(0));
    const auto method = static_cast<NoiseReductionMethod>(state.range(1));
    const std::vector<int16_t> audio = Audio();

    ProcessingOptions options;
    options.Method = method;
    SpectralEngine engine(options);
    engine.LoadFor(kChannels, kRate);
    engine.PrepareEngine();
    MemorySource source(audio);

    const LV2_Descriptor* descriptor = PluginDescriptor(1);
    LV2_Handle plugin = descriptor->instantiate(descriptor, kRate, "", nullptr);
    std::array<float, kControlPorts> controls{0.0f, 600.0f, 1.0f, method == NoiseReductionMethod::Adaptive ? 1.0f : 0.0f};
    for (uint32_t p = 0; p < kControlPorts; ++p) descriptor->connect_port(plugin, p, &controls[p]);
    std::array<std::vector<float>, kChannels> in;
    std::array<std::vector<float>, kChannels> out;
    for (int c = 0; c < kChannels; ++c) {
        out[c].resize(kFrames);
        for (int i = 0; i < kFrames; ++i) in[c].push_back(audio[static_cast<size_t>(i * kChannels + c)] / 32768.0f);
    }
    descriptor->activate(plugin);

    double pluginSeconds = 0.0;
    double engineSeconds = 0.0;
    for (auto _ : state) {
        const double start = ThreadSeconds();
        for (uint32_t at = 0; at < kFrames; at += hostBlock) {
            const uint32_t n = std::min<uint32_t>(hostBlock, kFrames - at);
            for (uint32_t c = 0; c < kChannels; ++c) {
                descriptor->connect_port(plugin, kFirstAudioPort + c, in[c].data() + at);
                descriptor->connect_port(plugin, kFirstAudioPort + kChannels + c, out[c].data() + at);
            }
            descriptor->run(plugin, n);
        }
        const double pluginDone = ThreadSeconds();
        source.Rewind();
        while (RunBlockContract(engine, source, true) > 0) benchmark::DoNotOptimize(engine.OutputBlock().data());
        const double engineDone = ThreadSeconds();
        benchmark::DoNotOptimize(out[0].data());
        pluginSeconds += pluginDone - start;
        engineSeconds += engineDone - pluginDone;
    }
    descriptor->deactivate(plugin);
    descriptor->cleanup(plugin);

    const double seconds = static_cast<double>(state.iterations());  // of audio, one per iteration
    state.counters["plugin_ms_per_s"] = 1e3 * pluginSeconds / seconds;
    state.counters["engine_ms_per_s"] = 1e3 * engineSeconds / seconds;
    state.counters["ratio"] = pluginSeconds / engineSeconds;
    state.counters["realtime_x"] = seconds / pluginSeconds;
    state.SetLabel("stereo 48 kHz, " + std::to_string(hostBlock) + "-frame blocks, " + std::string(MethodName(method)));
}

BENCHMARK(BM_StereoPluginVersusEngine)
    ->ArgsProduct({{64, 256, 1024},
                   {static_cast<int>(NoiseReductionMethod::Classic), static_cast<int>(NoiseReductionMethod::Adaptive)}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace murmex

BENCHMARK_MAIN();
