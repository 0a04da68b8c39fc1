#include "encoder_test_support.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <iterator>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <sstream>

#include "pipeline/main_thread_queue.h"

namespace murmex::test {

PcmInput::PcmInput(std::vector<int16_t> samples, unsigned channels, unsigned sampleRate,
                   std::size_t chunk)
    : Samples(std::move(samples)), Channels(channels), SampleRate(sampleRate), Chunk(chunk) {
  FStreamSize = static_cast<int64_t>(Samples.size() * 2);
}

void PcmInput::StartImpl() {
  Offset = 0;
  FReadPosition = 0;
}

void PcmInput::ReadImpl(const uint8_t*& buffer, std::size_t& bytes) {
  const std::size_t total = Samples.size() * 2;
  bytes = std::min({bytes, Chunk, total - Offset});
  buffer = bytes == 0 ? nullptr : reinterpret_cast<const uint8_t*>(Samples.data()) + Offset;
  Offset += bytes;
  FReadPosition = static_cast<int64_t>(Offset);
}

std::vector<int16_t> Sine(double seconds, unsigned sampleRate, unsigned channels,
                          double frequency) {
  const auto frames = static_cast<std::size_t>(seconds * sampleRate);
  std::vector<int16_t> samples(frames * channels);
  for (std::size_t i = 0; i < frames; ++i) {
    for (unsigned c = 0; c < channels; ++c) {
      const double f = c == 0 ? frequency : frequency * 1.5;
      samples[i * channels + c] = static_cast<int16_t>(
          16384.0 * std::sin(2.0 * std::numbers::pi * f * static_cast<double>(i) / sampleRate));
    }
  }
  return samples;
}

std::string RunToEnd(TAuOutput& output, TAuInput& input, int timeoutSeconds) {
  MainThreadQueue& queue = MainThreadQueue::Instance();
  queue.BindToCurrentThread();
  bool done = false;
  output.OnDone = [&](TAuOutput&) { done = true; };
  output.SetInput(&input);
  output.Start();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  while (!done && std::chrono::steady_clock::now() < deadline) {
    queue.WaitAndDrain(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(done) << "the run did not end";
  if (!done) output.RequestStop(false);
  return output.ErrorText();
}

std::filesystem::path TempDir(const std::string& name) {
  // The process id keeps test cases that CTest runs side by side out of each other's folders.
  const auto dir =
      std::filesystem::temp_directory_path() / ("murmex-encoders-" + name + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.Output.append(buffer.data(), n);
  const int status = pclose(pipe);
  result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Quote(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

ProbedStream Probe(const std::filesystem::path& file) {
  const CommandResult run = RunCommand(
      "ffprobe -v error -show_entries "
      "stream=codec_name,sample_rate,channels:format=duration:format_tags:stream_tags "
      "-of default=noprint_wrappers=1 " + Quote(file));
  EXPECT_EQ(run.Status, 0) << run.Output;
  ProbedStream probed;
  std::istringstream lines(run.Output);
  std::string line;
  while (std::getline(lines, line)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    if (key == "codec_name") probed.Codec = value;
    else if (key == "sample_rate") probed.SampleRate = static_cast<unsigned>(std::stoul(value));
    else if (key == "channels") probed.Channels = static_cast<unsigned>(std::stoul(value));
    else if (key == "duration" && value != "N/A") probed.Duration = std::stod(value);
    else if (key.rfind("TAG:", 0) == 0) {
      key = key.substr(4);
      for (char& ch : key) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      probed.Tags[key] = value;
    }
  }
  return probed;
}

std::vector<int16_t> Decode(const std::filesystem::path& file, unsigned sampleRate,
                            unsigned channels) {
  const auto raw = file.string() + ".raw";
  const CommandResult run = RunCommand("ffmpeg -v error -y -i " + Quote(file) + " -f s16le -ar " +
                                       std::to_string(sampleRate) + " -ac " +
                                       std::to_string(channels) + " " + Quote(raw));
  EXPECT_EQ(run.Status, 0) << run.Output;
  std::ifstream in(raw, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

double Correlation(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded,
                   unsigned channels, unsigned channel, std::size_t first, std::size_t frames,
                   std::ptrdiff_t shift) {
  double sumRef = 0, sumDec = 0, sumProd = 0;
  for (std::size_t i = first; i < first + frames; ++i) {
    const double r = reference[i * channels + channel];
    const auto j = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(i) + shift);
    const double d = decoded[j * channels + channel];
    sumRef += r * r;
    sumDec += d * d;
    sumProd += r * d;
  }
  return sumRef > 0 && sumDec > 0 ? sumProd / std::sqrt(sumRef * sumDec) : 0.0;
}

double BestCorrelation(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded,
                       unsigned channels, unsigned channel, int maxShift) {
  const std::size_t frames = std::min(reference.size(), decoded.size()) / channels;
  if (frames <= static_cast<std::size_t>(maxShift) * 2) return 0.0;
  // Compare the middle of the signal, away from the encoders' fade-in and padding.
  const std::size_t first = static_cast<std::size_t>(maxShift);
  const std::size_t count = frames - 2 * static_cast<std::size_t>(maxShift);
  double best = 0.0;
  for (int shift = -maxShift; shift <= maxShift; ++shift) {
    best = std::max(best, Correlation(reference, decoded, channels, channel, first, count, shift));
  }
  return best;
}

std::string Mutagen(const std::string& program) {
  const char* python = std::getenv("MURMEX_PYTHON");
  const auto dir = TempDir("mutagen");
  const auto script = dir / "probe.py";
  std::ofstream(script) << program;
  const CommandResult run =
      RunCommand(std::string(python != nullptr ? python : "/usr/bin/python3") + " " + Quote(script));
  EXPECT_EQ(run.Status, 0) << run.Output;
  return run.Output;
}

}  // namespace murmex::test
