// Cost of one processed block against the bare FFT work it needs (one forward and one inverse
// 2048-point transform per channel), both timed in the same run so the ratio is machine-neutral.
// Both are timed in the thread's own CPU time: on a machine shared with other work, wall time
// would charge each side with whatever ran while it was preempted.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/spectral_engine.h"

namespace murmex {
namespace {

// CPU time of the calling thread.
struct ThreadCpuClock {
    using duration = std::chrono::nanoseconds;
    using time_point = std::chrono::time_point<ThreadCpuClock>;
    static time_point now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return time_point(std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec));
    }
};
using Clock = ThreadCpuClock;

std::vector<int16_t> NoisyTone(size_t samples) {
    std::mt19937 rng(11);
    std::normal_distribution<double> noise(0.0, 400.0);
    std::vector<int16_t> out(samples);
    for (size_t n = 0; n < samples; ++n) {
        const double v = noise(rng) + 6000.0 * ((n / 37) % 2 ? 1.0 : -1.0);
        out[n] = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
    }
    return out;
}

void BM_ProcessedBlockVersusFftFloor(benchmark::State& state) {
    const int channels = static_cast<int>(state.range(0));
    const auto method = static_cast<NoiseReductionMethod>(state.range(1));
    ProcessingOptions options;
    options.DetailAmplifier = true;
    options.Method = method;
    auto engine = std::make_unique<SpectralEngine>(options);
    engine->LoadFor(channels, AdaptiveDenoiser::kDefaultSampleRate);
    engine->PrepareEngine();

    FftwInterface floor;
    floor.CreatePlans();
    std::copy_n(NoisyTone(FftwInterface::kSize).begin(), FftwInterface::kSize, floor.FftInput());

    const size_t blocks = 64;
    const auto input = NoisyTone(blocks * SpectralEngine::kBlockSamples);
    size_t block = 0;
    Clock::duration blockTime{};
    Clock::duration fftTime{};
    for (auto _ : state) {
        std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(block * SpectralEngine::kBlockSamples),
                    SpectralEngine::kBlockSamples, engine->InputBlockData());
        block = (block + 1) % blocks;

        const auto start = Clock::now();
        engine->ShiftHistory();
        engine->ProcessBlock(true);
        const auto processed = Clock::now();
        for (int c = 0; c < channels; ++c) {
            floor.ExecuteForward();
            floor.ExecuteInverse();
        }
        const auto end = Clock::now();
        benchmark::DoNotOptimize(engine->OutputBlock().data());
        benchmark::DoNotOptimize(floor.FftOutput());
        blockTime += processed - start;
        fftTime += end - processed;
    }
    const double iterations = static_cast<double>(state.iterations());
    const auto micros = [&](Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count() / iterations; };
    state.counters["block_us"] = micros(blockTime);
    state.counters["fft_floor_us"] = micros(fftTime);
    state.counters["ratio"] = static_cast<double>(blockTime.count()) / static_cast<double>(fftTime.count());
    state.SetLabel(std::string(channels == 1 ? "mono " : "stereo ") + std::string(MethodName(method)));
}

BENCHMARK(BM_ProcessedBlockVersusFftFloor)
    ->ArgsProduct({{1, 2}, {static_cast<int>(NoiseReductionMethod::Classic), static_cast<int>(NoiseReductionMethod::Adaptive)}});

// Wall time of stereo blocks as a save runs them, in runs of ProcessBlocks, with the second
// channel on a thread of its own against one thread, in one run: what a save gains where a core
// is free. (The classic method hands a whole run over; the adaptive method each block.)
void BM_StereoBlocksOnTwoThreads(benchmark::State& state) {
    const auto method = static_cast<NoiseReductionMethod>(state.range(0));
    ProcessingOptions options;
    options.DetailAmplifier = true;
    options.Method = method;
    auto engine = std::make_unique<SpectralEngine>(options);
    engine->LoadFor(2, AdaptiveDenoiser::kDefaultSampleRate);
    engine->PrepareEngine();
    constexpr int kRun = SpectralEngine::kMaxBatchBlocks;
    const size_t runs = 8;
    const auto input = NoisyTone(runs * kRun * SpectralEngine::kBlockSamples);
    std::vector<int16_t> output(kRun * SpectralEngine::kBlockSamples);
    const auto runBlocks = [&] {
        const auto start = std::chrono::steady_clock::now();
        for (size_t run = 0; run < runs; ++run) {
            engine->ProcessBlocks(input.data() + run * kRun * SpectralEngine::kBlockSamples, output.data(), kRun);
            benchmark::DoNotOptimize(output.data());
        }
        return std::chrono::steady_clock::now() - start;
    };
    std::chrono::steady_clock::duration oneThread{};
    std::chrono::steady_clock::duration twoThreads{};
    for (auto _ : state) {
        engine->SetChannelThreads(1);
        oneThread += runBlocks();
        engine->SetChannelThreads(2);
        twoThreads += runBlocks();
    }
    const double blocks = static_cast<double>(state.iterations()) * static_cast<double>(runs * kRun);
    const auto micros = [&](std::chrono::steady_clock::duration d) {
        return std::chrono::duration<double, std::micro>(d).count() / blocks;
    };
    state.counters["one_thread_us"] = micros(oneThread);
    state.counters["two_threads_us"] = micros(twoThreads);
    state.counters["speedup"] = static_cast<double>(oneThread.count()) / static_cast<double>(twoThreads.count());
    state.SetLabel(std::string("stereo ") + std::string(MethodName(method)));
}

BENCHMARK(BM_StereoBlocksOnTwoThreads)
    ->Arg(static_cast<int>(NoiseReductionMethod::Classic))
    ->Arg(static_cast<int>(NoiseReductionMethod::Adaptive))
    ->UseRealTime();

}  // namespace
}  // namespace murmex

BENCHMARK_MAIN();
