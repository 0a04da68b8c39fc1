// How quickly the preview answers the user, measured on a real preview of 44.1 kHz stereo with
// the spectrum view and the DC meter drawing. Each benchmark reports its figure in milliseconds
// (or as a share of one core) and `budget_ratio`, the figure over its budget:
//   - a switch or slider change is heard within 300 ms;
//   - Play gives its first sound within 150 ms;
//   - the window's thread waits on the preview thread for at most one block (11.6 ms);
//   - the preview costs under 5 % of one core.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QImage>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/fftw_interface.h"
#include "engine/block_contract.h"
#include "engine/processing_options.h"
#include "engine/spectral_engine.h"
#include "pipeline/main_thread_queue.h"
#include "source/bass.h"
#include "source/decode_block_source.h"
#include "source/preview_display.h"
#include "source/preview_player.h"
#include "tests/fixtures/fixture_paths.h"
#include "view/dc_meter.h"
#include "view/spectrum_view.h"

namespace murmex {
namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr double kBytesPerSecond = 44100.0 * 4;
constexpr double kBlockMs = 1000.0 * SpectralEngine::kBlockBytes / kBytesPerSecond;
// The device plays its queue in periods of 1024 frames: a block pushed reaches the ear at the
// latest one period after the bytes ahead of it.
constexpr double kDevicePeriodMs = 1000.0 * 1024 / 44100.0;
constexpr uint32_t kQueueLimit = 22050;

// The window as the preview sees it: real drawing on the preview thread, pictures handed to the
// main thread through the queue. Notes when blocks processed with reduction are pushed.
class MeasuredDisplay : public PreviewDisplay {
 public:
  explicit MeasuredDisplay(const SpectralEngine& engine)
      : spectrum_(engine, [this](const QImage& picture) { Hand(picture, spectrumShown_); }),
        meter_([this](const QImage& picture) { Hand(picture, meterShown_); }) {}

  void SetLed1(bool on) override {
    if (on != ledSent_.exchange(on)) MainThreadQueue::Instance().Post([this, on] { led_ = on; });
  }
  void SetPreviewPosition(int position) override {
    MainThreadQueue::Instance().Post([this, position] { position_ = position; });
  }
  void DrawSpectrum(const SpectralEngine&) override {
    // Called right after a block processed with reduction was pushed.
    {
      std::lock_guard<std::mutex> guard(lock_);
      reducedPushes_.push_back({Clock::now(), BASS_ChannelGetData(stream_, nullptr, BASS_DATA_AVAILABLE)});
    }
    spectrum_.DrawSpectrum();
  }
  void UpdateDcMeter(SpectralEngine& engine) override { meter_.UpdateDcMeter(engine); }
  void DecayDcMeter() override { meter_.DecayDcMeter(); }
  bool DcMeterAtRest() const override { return meter_.DcMeterAtRest(); }
  void StartSpectrumPhase() override { spectrum_.SpectrumPhase = true; }
  void EnterPreviewState() override {}
  void LeavePreviewState() override {}
  void BlankSpectrum() override {
    spectrum_.SpectrumShown = true;
    spectrum_.ClearSpectrum();
  }
  void ProcessMessages() override {
    if (!firstMessages_) firstMessages_ = Clock::now();
    MainThreadQueue::Instance().Drain();
  }

  struct Push {
    Clock::time_point At;
    uint32_t Queued;
  };
  void Watch(HSTREAM stream) { stream_ = stream; }
  std::vector<Push> ReducedPushes() {
    std::lock_guard<std::mutex> guard(lock_);
    return reducedPushes_;
  }
  void Forget() {
    std::lock_guard<std::mutex> guard(lock_);
    reducedPushes_.clear();
    firstMessages_.reset();
  }
  std::optional<Clock::time_point> FirstMessages() const { return firstMessages_; }
  int PicturesShown() const { return spectrumShown_ + meterShown_; }

 private:
  void Hand(const QImage& picture, int& shown) {
    MainThreadQueue::Instance().Post([picture, &shown] {
      benchmark::DoNotOptimize(picture.constBits());
      ++shown;
    });
  }

  SpectrumView spectrum_;
  DcMeter meter_;
  std::atomic<HSTREAM> stream_{0};
  std::atomic<bool> ledSent_{false};
  bool led_ = false;
  int position_ = 0;
  int spectrumShown_ = 0;
  int meterShown_ = 0;
  std::mutex lock_;
  std::vector<Push> reducedPushes_;
  std::optional<Clock::time_point> firstMessages_;
};

// A loaded 44.1 kHz stereo source with everything the preview needs.
class Session {
 public:
  Session() : engine_(options_), display_(engine_) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    MainThreadQueue::Instance().BindToCurrentThread();
    if (!BASS_Init(-1, 44100, 0, nullptr, nullptr) || !BASS_Start()) throw std::runtime_error("no audio output");
    const std::string path = testing::FixturePath("stereo_44100.wav").string();
    decode_ = BASS_StreamCreateFile(false, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    preview_ = BASS_StreamCreate(44100, 2, 0, STREAMPROC_PUSH, nullptr);
    if (decode_ == 0 || preview_ == 0) throw std::runtime_error("cannot open " + path);
    blocks_ = std::make_unique<DecodeBlockSource>(decode_);
    // As the program does once its window is up.
    FftwInterface::WarmUpPlanner();
    engine_.SetChannels(2);
    engine_.ClearEngineReady();
    engine_.BuildAnalysisWindow();
    engine_.BuildSmoothingKernel();
    engine_.ResetPreviousMinimum();
    engine_.ComputeDcCoefficient();
    display_.Watch(preview_);
    player_ = std::make_unique<PreviewPlayer>(engine_, display_);
    options_.ApplyPreviewReduction = true;
  }
  ~Session() {
    player_.reset();
    MainThreadQueue::Instance().Drain();
    engine_.ReleasePlans();
    BASS_Free();
  }

  void Play() {
    const double length = static_cast<double>(BASS_ChannelGetLength(decode_, BASS_POS_BYTE));
    PreviewSource source{decode_, preview_, kQueueLimit, 1000.0 / length, length / 1000.0, blocks_.get()};
    player_->Play(source);
  }
  // The window's event loop for a while.
  void Serve(Milliseconds time) {
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(time);
    while (Clock::now() < end && player_->Playing())
      MainThreadQueue::Instance().WaitAndDrain(std::chrono::milliseconds(2));
  }
  void ServeUntilStopped() { Serve(Milliseconds(10000)); }

  ProcessingOptions options_;
  SpectralEngine engine_;
  MeasuredDisplay display_;
  HSTREAM decode_ = 0;
  HSTREAM preview_ = 0;
  std::unique_ptr<DecodeBlockSource> blocks_;
  std::unique_ptr<PreviewPlayer> player_;
};

// When the sound of a push is heard: after the bytes queued ahead of it, within one period.
double HeardMs(Clock::time_point from, const MeasuredDisplay::Push& push) {
  const double ahead = std::max(0.0, static_cast<double>(push.Queued) - SpectralEngine::kBlockBytes);
  return Milliseconds(push.At - from).count() + 1000.0 * ahead / kBytesPerSecond + kDevicePeriodMs;
}

void Report(benchmark::State& state, const char* name, double figure, double budget) {
  state.SetIterationTime(figure / 1000.0);
  state.counters[name] = figure;
  state.counters["budget_ratio"] = figure / budget;
}

// Play to first sound. The first Play after a load also makes the FFT plans.
void BM_PlayToFirstSound(benchmark::State& state) {
  const bool firstAfterLoad = state.range(0) == 1;
  Session session;
  if (!firstAfterLoad) {
    session.Play();
    session.Serve(Milliseconds(100));
    session.player_->Stop();
  }
  double worst = 0.0;
  for (auto _ : state) {
    session.display_.Forget();
    const auto start = Clock::now();
    session.Play();
    session.Serve(Milliseconds(200));
    const auto pushes = session.display_.ReducedPushes();
    // The first pass pushes the engine's silent latency block; the second brings the sound.
    if (pushes.size() < 2) {
      state.SkipWithError("no sound pushed");
      return;
    }
    worst = std::max(worst, HeardMs(start, pushes[1]));
    session.player_->Stop();
    Report(state, "first_sound_ms", worst, 150.0);
  }
}
BENCHMARK(BM_PlayToFirstSound)->Arg(1)->Arg(0)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// A switch change heard: "Apply preview noise reduction" turned on while the queue is full; the
// first block processed with it is heard after the queue ahead of it. Sliders act at the same
// step of the same pass.
void BM_SwitchHeard(benchmark::State& state) {
  Session session;
  double worst = 0.0;
  for (auto _ : state) {
    session.Play();
    for (int flip = 0; flip < 4; ++flip) {
      session.options_.ApplyPreviewReduction = false;
      session.Serve(Milliseconds(150));
      session.display_.Forget();
      const auto start = Clock::now();
      session.options_.ApplyPreviewReduction = true;
      session.Serve(Milliseconds(50));
      const auto pushes = session.display_.ReducedPushes();
      if (pushes.empty()) break;
      worst = std::max(worst, HeardMs(start, pushes.front()));
    }
    session.player_->Stop();
    Report(state, "heard_ms", worst, 300.0);
  }
}
BENCHMARK(BM_SwitchHeard)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The window's waits on the preview thread: a seek meeting a read of the decoding stream, and
// the stop waiting for the thread to leave its loop.
void BM_WindowWaitsOnPreviewThread(benchmark::State& state) {
  Session session;
  double worstSeek = 0.0;
  double worstStop = 0.0;
  for (auto _ : state) {
    for (int run = 0; run < 3; ++run) {
      session.Play();
      session.Serve(Milliseconds(150));
      for (int x = 0; x < 200; x += 20) {
        const auto start = Clock::now();
        session.player_->SeekTo(x, 393);
        worstSeek = std::max(worstSeek, Milliseconds(Clock::now() - start).count());
        session.Serve(Milliseconds(7));
      }
      session.display_.Forget();
      const auto stop = Clock::now();
      session.player_->Stop();
      if (const auto joined = session.display_.FirstMessages())
        worstStop = std::max(worstStop, Milliseconds(*joined - stop).count());
    }
    const double worst = std::max(worstSeek, worstStop);
    Report(state, "wait_ms", worst, kBlockMs);
    state.counters["seek_ms"] = worstSeek;
    state.counters["stop_join_ms"] = worstStop;
  }
}
BENCHMARK(BM_WindowWaitsOnPreviewThread)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The cost of a preview with reduction, spectrum and meter on, as a share of one core: the CPU
// time of the whole process (preview thread, device thread, window thread handling the
// pictures) over the time the preview played.
void BM_PreviewCpuShare(benchmark::State& state) {
  Session session;
  session.Play();  // makes the FFT plans, which a load pays for once
  session.ServeUntilStopped();
  for (auto _ : state) {
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    for (int run = 0; run < 2; ++run) {
      session.Play();
      session.ServeUntilStopped();
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double share = (CpuSeconds() - cpu) / wall;
    state.SetIterationTime(wall);
    state.counters["core_percent"] = 100.0 * share;
    state.counters["budget_ratio"] = share / 0.05;
    state.counters["pictures"] = session.display_.PicturesShown();
  }
}
BENCHMARK(BM_PreviewCpuShare)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace murmex

BENCHMARK_MAIN();
