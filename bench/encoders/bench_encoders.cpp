// Encoding a minute of stereo PCM through our writers against the same encoder library's own
// command-line tool on the same PCM, side by side in one run. The counter "ratio" is our time
// over the tool's; the goal is at most 1.15.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "encoders/mp3_out.h"
#include "encoders/vorbis_out.h"
#include "encoders/wma_out.h"
#include "pipeline/main_thread_queue.h"
#include "pipeline/memory_in.h"

namespace murmex {
namespace {

constexpr unsigned kRate = 44100;
constexpr unsigned kChannels = 2;
constexpr int kSeconds = 60;

std::filesystem::path WorkDir() {
  static const auto dir = [] {
    auto path = std::filesystem::temp_directory_path() / "murmex-bench-encoders";
    std::filesystem::create_directories(path);
    return path;
  }();
  return dir;
}

// A minute of two tones with a little noise, as raw 16-bit little-endian PCM, in memory and on disk.
const std::vector<int16_t>& Pcm() {
  static const std::vector<int16_t> pcm = [] {
    std::vector<int16_t> samples(static_cast<std::size_t>(kRate) * kSeconds * kChannels);
    uint32_t noise = 1;
    for (std::size_t i = 0; i < samples.size() / kChannels; ++i) {
      for (unsigned c = 0; c < kChannels; ++c) {
        noise = noise * 1664525U + 1013904223U;
        const double tone =
            std::sin(2.0 * std::numbers::pi * (220.0 + 110.0 * c) * static_cast<double>(i) / kRate);
        samples[i * kChannels + c] =
            static_cast<int16_t>(12000.0 * tone + static_cast<double>(noise >> 20) - 2048.0);
      }
    }
    std::ofstream(WorkDir() / "input.raw", std::ios::binary)
        .write(reinterpret_cast<const char*>(samples.data()),
               static_cast<std::streamsize>(samples.size() * 2));
    return samples;
  }();
  return pcm;
}

double SecondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void RunWriter(TAuFileOut& out, const std::string& name) {
  TMemoryIn input;
  input.SetInChannels(kChannels);
  input.SetInSampleRate(kRate);
  input.SetBufferPointer(const_cast<int16_t*>(Pcm().data()));
  input.SetBufferBytes(static_cast<int64_t>(Pcm().size() * 2));
  MainThreadQueue& queue = MainThreadQueue::Instance();
  queue.BindToCurrentThread();
  bool done = false;
  out.OnDone = [&](TAuOutput&) { done = true; };
  out.SetFileName((WorkDir() / name).string());
  out.SetInput(&input);
  out.Start();
  while (!done) queue.WaitAndDrain(std::chrono::milliseconds(20));
  if (!out.ErrorText().empty()) std::abort();
  out.SetInput(nullptr);
}

void RunTool(const std::string& command) {
  if (std::system((command + " 2>/dev/null").c_str()) != 0) std::abort();
}

void Compare(benchmark::State& state, const std::function<void()>& ours,
             const std::string& tool) {
  Pcm();
  double oursSeconds = 0;
  double toolSeconds = 0;
  for (auto _ : state) {
    const double iteration = SecondsOf(ours);
    oursSeconds += iteration;
    toolSeconds += SecondsOf([&] { RunTool(tool); });
    state.SetIterationTime(iteration);
  }
  state.counters["ours_s"] = oursSeconds / static_cast<double>(state.iterations());
  state.counters["tool_s"] = toolSeconds / static_cast<double>(state.iterations());
  state.counters["ratio"] = oursSeconds / toolSeconds;
}

std::string Raw() { return "'" + (WorkDir() / "input.raw").string() + "'"; }
std::string Out(const std::string& name) { return "'" + (WorkDir() / name).string() + "'"; }

void BM_Mp3AgainstLame(benchmark::State& state) {
  TMP3Out out;
  Compare(state, [&] { RunWriter(out, "ours.mp3"); },
          "lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m s -b 128 " + Raw() +
              " " + Out("tool.mp3"));
}

void BM_VorbisAgainstOggenc(benchmark::State& state) {
  TVorbisOut out;
  Compare(state,
          [&] {
            out.SetCompression(0.5F);
            RunWriter(out, "ours.ogg");
          },
          "oggenc -Q -r -B 16 -C 2 -R 44100 -q 5 -o " + Out("tool.ogg") + " " + Raw());
}

void BM_WmaAgainstFfmpeg(benchmark::State& state) {
  TWMAOut out;
  Compare(state, [&] { RunWriter(out, "ours.wma"); },
          "ffmpeg -v error -y -f s16le -ar 44100 -ac 2 -i " + Raw() +
              " -c:a wmav2 -b:a 128k " + Out("tool.wma"));
}

BENCHMARK(BM_Mp3AgainstLame)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VorbisAgainstOggenc)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WmaAgainstFfmpeg)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace murmex

BENCHMARK_MAIN();
