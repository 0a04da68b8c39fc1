// The preview end to end on SDL's disk driver, which writes what the device plays to a file at
// real-time pace: the sound equals the engine's output, the queue is held near its limit, and
// Stop, the end of the data, seeks and the switches behave as the window expects.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/block_contract.h"
#include "engine/processing_options.h"
#include "engine/spectral_engine.h"
#include "pipeline/main_thread_queue.h"
#include "source/bass.h"
#include "source/decode_block_source.h"
#include "source/preview_display.h"
#include "source/preview_player.h"

namespace murmex {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr uint32_t kQueueLimit = 22050;  // 125 ms of 44.1 kHz stereo
constexpr int kBlock = SpectralEngine::kBlockBytes;

// A tone with a little seeded hiss, as 16-bit stereo PCM in a WAV file.
void WriteWav(const fs::path& path, double seconds) {
  const int frames = static_cast<int>(seconds * kRate);
  std::vector<int16_t> samples(static_cast<size_t>(frames) * kChannels);
  uint32_t seed = 12345;
  for (int i = 0; i < frames; ++i) {
    for (int c = 0; c < kChannels; ++c) {
      seed = seed * 1664525u + 1013904223u;
      const double hiss = static_cast<int>(seed >> 20) - 2048;
      samples[static_cast<size_t>(i) * kChannels + c] =
          static_cast<int16_t>(8000.0 * std::sin(2.0 * M_PI * (440.0 + 110.0 * c) * i / kRate) + hiss);
    }
  }
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  auto put32 = [](std::ofstream& out, uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto put16 = [](std::ofstream& out, uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  std::ofstream out(path, std::ios::binary);
  out.write("RIFF", 4);
  put32(out, 36 + dataBytes);
  out.write("WAVEfmt ", 8);
  put32(out, 16);
  put16(out, 1);
  put16(out, kChannels);
  put32(out, kRate);
  put32(out, kRate * kChannels * 2);
  put16(out, kChannels * 2);
  put16(out, 16);
  out.write("data", 4);
  put32(out, dataBytes);
  out.write(reinterpret_cast<const char*>(samples.data()), dataBytes);
  ASSERT_TRUE(out.good());
}

// Records what the preview shows, and on which thread.
class RecordingDisplay : public PreviewDisplay {
 public:
  void SetLed1(bool on) override {
    NotePreviewThread();
    (on ? ledOn : ledOff)++;
    led = on;
  }
  void SetPreviewPosition(int position) override {
    std::lock_guard<std::mutex> guard(lock);
    positions.push_back(position);
  }
  void DrawSpectrum(const SpectralEngine&) override {
    NotePreviewThread();
    ++spectra;
    if (queueProbe) {
      const uint32_t queued = BASS_ChannelGetData(queueProbe, nullptr, BASS_DATA_AVAILABLE);
      std::lock_guard<std::mutex> guard(lock);
      queuedAfterPush.push_back(queued);
    }
  }
  void UpdateDcMeter(SpectralEngine&) override {
    NotePreviewThread();
    ++meterUpdates;
    meter = 20.0f;
  }
  void DecayDcMeter() override {
    ++meterDecays;
    if (meter > 1.0f) meter = std::max(meter / 1.2f, 1.0f);
  }
  bool DcMeterAtRest() const override { return !(meter > 1.0f); }
  void StartSpectrumPhase() override { NoteWindowThread(); }
  void EnterPreviewState() override {
    NoteWindowThread();
    ++enters;
  }
  void LeavePreviewState() override {
    NoteWindowThread();
    ++leaves;
    meterAtLeave = meter;
  }
  void BlankSpectrum() override {
    NoteWindowThread();
    ++blanks;
  }
  void ProcessMessages() override {
    NoteWindowThread();
    MainThreadQueue::Instance().Drain();
    if (onMessages) std::exchange(onMessages, nullptr)();
  }

  std::vector<int> Positions() {
    std::lock_guard<std::mutex> guard(lock);
    return positions;
  }
  std::vector<uint32_t> QueuedAfterPush() {
    std::lock_guard<std::mutex> guard(lock);
    return queuedAfterPush;
  }

  std::thread::id windowThread = std::this_thread::get_id();
  std::atomic<bool> wrongThread{false};
  std::atomic<int> ledOn{0}, ledOff{0}, spectra{0}, meterUpdates{0}, meterDecays{0};
  std::atomic<bool> led{false};
  std::atomic<float> meter{1.0f};
  std::atomic<HSTREAM> queueProbe{0};
  // A message the window handles while the preview stops (the user closing it, say).
  std::function<void()> onMessages;
  int enters = 0, leaves = 0, blanks = 0;
  float meterAtLeave = 0.0f;

 private:
  void NotePreviewThread() {
    if (std::this_thread::get_id() == windowThread) wrongThread = true;
  }
  void NoteWindowThread() {
    if (std::this_thread::get_id() != windowThread) wrongThread = true;
  }

  std::mutex lock;
  std::vector<int> positions;
  std::vector<uint32_t> queuedAfterPush;
};

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("murmex-preview-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    played_ = dir_ / "played.raw";
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", played_.c_str(), 1);
    MainThreadQueue::Instance().BindToCurrentThread();
    ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr));
    ASSERT_TRUE(BASS_Start());
  }

  void TearDown() override {
    player_.reset();
    MainThreadQueue::Instance().Drain();
    BASS_Free();
    fs::remove_all(dir_);
  }

  // The load's part: streams, engine tables, factors.
  void Load(double seconds) {
    source_ = dir_ / "source.wav";
    WriteWav(source_, seconds);
    decode_ = BASS_StreamCreateFile(false, source_.c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(decode_, 0u);
    preview_ = BASS_StreamCreate(kRate, kChannels, 0, STREAMPROC_PUSH, nullptr);
    ASSERT_NE(preview_, 0u);
    length_ = BASS_ChannelGetLength(decode_, BASS_POS_BYTE);
    PrepareTables(engine_);
    blocks_ = std::make_unique<DecodeBlockSource>(decode_);
    player_ = std::make_unique<PreviewPlayer>(engine_, display_);
  }

  static void PrepareTables(SpectralEngine& engine) {
    engine.LoadFor(kChannels, AdaptiveDenoiser::kDefaultSampleRate);
  }

  PreviewSource Source() const {
    PreviewSource source;
    source.DecodeStream = decode_;
    source.PreviewStream = preview_;
    source.PreviewQueueLimit = kQueueLimit;
    source.ProgressFactor = 1000.0 / static_cast<double>(length_);
    source.SeekFactor = static_cast<double>(length_) / 1000.0;
    source.Blocks = blocks_.get();
    return source;
  }

  // The engine's output for the whole source, block by block as the preview loop runs it.
  std::vector<int16_t> EngineOutput(bool process) {
    ProcessingOptions options;
    SpectralEngine engine(options);
    PrepareTables(engine);
    engine.PrepareEngine();
    const HSTREAM stream = BASS_StreamCreateFile(false, source_.c_str(), 0, 0, BASS_STREAM_DECODE);
    DecodeBlockSource reader(stream);
    std::vector<int16_t> output;
    while (BASS_ChannelIsActive(stream) != BASS_ACTIVE_STOPPED) {
      RunBlockContract(engine, reader, process);
      output.insert(output.end(), engine.OutputBlock().begin(), engine.OutputBlock().end());
    }
    BASS_StreamFree(stream);
    return output;
  }

  // Serves the window's thread until the preview has stopped by itself.
  void DrainUntilStopped(std::chrono::seconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (player_->Playing() && std::chrono::steady_clock::now() < deadline)
      MainThreadQueue::Instance().WaitAndDrain(10ms);
  }

  void ServeFor(std::chrono::milliseconds time) {
    const auto deadline = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < deadline) MainThreadQueue::Instance().WaitAndDrain(5ms);
  }

  std::vector<int16_t> PlayedSamples() {
    BASS_Free();  // closes the device, so the file is complete
    std::ifstream in(played_, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
  }

  void ExpectPlayedEqualsEngineOutput(bool process) {
    const std::vector<int16_t> expected = EngineOutput(process);
    engine_options_.ApplyPreviewReduction = process;
    player_->Play(Source());
    DrainUntilStopped();
    ASSERT_FALSE(player_->Running());
    const std::vector<int16_t> played = PlayedSamples();

    // Silence surrounds what was played (the paused device, the engine's silent first block).
    auto firstSound = [](const std::vector<int16_t>& s) {
      return std::find_if(s.begin(), s.end(), [](int16_t v) { return v != 0; });
    };
    auto heard = firstSound(played);
    auto made = firstSound(expected);
    ASSERT_NE(heard, played.end());
    ASSERT_EQ(std::distance(expected.begin(), made) % kChannels, 0);
    const auto [heardEnd, madeEnd] = std::mismatch(heard, played.end(), made, expected.end());
    const auto matched = std::distance(heard, heardEnd) * 2;
    // All but the queue and the block the engine holds back at the end are heard...
    EXPECT_GE(matched, static_cast<long>(length_) - static_cast<long>(kQueueLimit) - 4 * kBlock);
    // ...and after them nothing but silence.
    EXPECT_TRUE(std::all_of(heardEnd, played.end(), [](int16_t v) { return v == 0; }))
        << "sound after sample " << std::distance(played.begin(), heardEnd);
  }

  fs::path dir_, played_, source_;
  HSTREAM decode_ = 0, preview_ = 0;
  uint64_t length_ = 0;
  ProcessingOptions engine_options_;
  SpectralEngine engine_{engine_options_};
  RecordingDisplay display_;
  std::unique_ptr<DecodeBlockSource> blocks_;
  std::unique_ptr<PreviewPlayer> player_;
};

TEST_F(PreviewTest, PlaysTheEngineBypassExactly) {
  Load(1.0);
  ExpectPlayedEqualsEngineOutput(false);
  EXPECT_FALSE(display_.wrongThread);
}

TEST_F(PreviewTest, PlaysTheProcessedOutputExactly) {
  Load(1.0);
  ExpectPlayedEqualsEngineOutput(true);
  EXPECT_FALSE(display_.wrongThread);
}

TEST_F(PreviewTest, QueueIsHeldWithinOneBlockOfItsLimit) {
  Load(1.5);
  engine_options_.ApplyPreviewReduction = true;
  display_.queueProbe = preview_;
  player_->Play(Source());
  DrainUntilStopped();
  const std::vector<uint32_t> queued = display_.QueuedAfterPush();
  const auto full = std::find_if(queued.begin(), queued.end(), [](uint32_t q) { return q > kQueueLimit; });
  ASSERT_NE(full, queued.end()) << "the queue never filled";
  ASSERT_GT(std::distance(full, queued.end()), 20);
  // Each pass sleeps off the excess over the limit and then pushes a block, so right after a
  // push the queue holds the limit plus one block. The device takes its queue in periods of 1024
  // frames and a busy machine delays it now and then, so single readings stray; the middle
  // reading and the mean do not, and without the hold-back the queue would run away.
  constexpr uint32_t kDevicePeriod = 1024 * kChannels * 2;
  std::vector<uint32_t> readings(full, queued.end());
  const double mean = std::accumulate(readings.begin(), readings.end(), 0.0) / static_cast<double>(readings.size());
  EXPECT_NEAR(mean, kQueueLimit + kBlock, kBlock);
  std::nth_element(readings.begin(), readings.begin() + readings.size() / 2, readings.end());
  EXPECT_NEAR(readings[readings.size() / 2], kQueueLimit + kBlock, kDevicePeriod);
  EXPECT_LT(*std::max_element(readings.begin(), readings.end()), 2 * kQueueLimit);
}

TEST_F(PreviewTest, StopDuringPlaySilencesAndRestoresTheWindow) {
  Load(3.0);
  engine_options_.ApplyPreviewReduction = true;
  player_->Play(Source());
  EXPECT_TRUE(player_->Playing());
  EXPECT_EQ(display_.enters, 1);
  ServeFor(400ms);
  ASSERT_TRUE(player_->Running());
  EXPECT_GT(display_.meterUpdates, 0);

  player_->Stop();
  EXPECT_FALSE(player_->Running());
  EXPECT_FALSE(player_->Playing());
  EXPECT_TRUE(player_->PreviewStopRequested());
  EXPECT_EQ(display_.leaves, 1);
  EXPECT_EQ(display_.blanks, 1);
  // The meter was brought to rest before the window came back.
  EXPECT_LE(display_.meterAtLeave, 1.0f);
  EXPECT_EQ(BASS_ChannelGetData(preview_, nullptr, BASS_DATA_AVAILABLE), 0u);
  EXPECT_EQ(BASS_ChannelIsActive(preview_), BASS_ACTIVE_STOPPED);
  // The source was not played to its end.
  EXPECT_EQ(BASS_ChannelIsActive(decode_), BASS_ACTIVE_PLAYING);

  // A second Stop, or one after the thread is gone, does nothing.
  player_->Stop();
  ServeFor(50ms);
  EXPECT_EQ(display_.leaves, 1);
  EXPECT_FALSE(display_.wrongThread);
}

TEST_F(PreviewTest, EndOfDataStopsByItselfAndPlayStartsAgain) {
  Load(0.5);
  player_->Play(Source());
  DrainUntilStopped();
  EXPECT_FALSE(player_->Running());
  EXPECT_FALSE(player_->Playing());
  EXPECT_EQ(display_.leaves, 1);
  EXPECT_EQ(display_.blanks, 1);
  EXPECT_EQ(BASS_ChannelIsActive(preview_), BASS_ACTIVE_STOPPED);

  const std::vector<int> positions = display_.Positions();
  ASSERT_FALSE(positions.empty());
  for (size_t i = 0; i < positions.size(); ++i) {
    EXPECT_EQ(positions[i] % 2, 0) << positions[i];
    if (i > 0) {
      EXPECT_NE(positions[i], positions[i - 1]);
    }
  }
  EXPECT_GE(positions.back(), 900);

  player_->Play(Source());
  EXPECT_TRUE(player_->Playing());
  EXPECT_EQ(display_.enters, 2);
  DrainUntilStopped();
  EXPECT_EQ(display_.leaves, 2);
  EXPECT_FALSE(display_.wrongThread);
}

TEST_F(PreviewTest, SeeksLandOnTheBarAndPlayRestartsAtTheBeginning) {
  Load(3.0);
  player_->Play(Source());
  ServeFor(100ms);
  // The thread reads on while the test looks, at most a queue's worth at once.
  const uint64_t slack = kQueueLimit + 4 * kBlock;

  struct Case {
    int x;
    int value;
  };
  // Seeks from the left edge to the middle, released inside and beside the bar.
  for (const Case c : {Case{0, 0}, Case{-40, 0}, Case{196, 498}, Case{0, 0}}) {
    player_->SeekTo(c.x, 393);
    const uint64_t target = static_cast<uint64_t>(c.value * (static_cast<double>(length_) / 1000.0)) / 4 * 4;
    const uint64_t position = BASS_ChannelGetPosition(decode_, BASS_POS_BYTE);
    EXPECT_GE(position, target) << "x " << c.x;
    EXPECT_LE(position, std::min(target + slack, length_)) << "x " << c.x;
    EXPECT_EQ(display_.Positions().back(), c.value) << "x " << c.x;
    ServeFor(20ms);
  }
  // A bar without width seeks nowhere.
  const size_t shown = display_.Positions().size();
  player_->SeekTo(10, 0);
  EXPECT_EQ(display_.Positions().size(), shown);

  // The last pixel, and a release far right of the bar, go on from 997 thousandths; so little
  // is left there that the preview reaches its end by itself.
  for (const int x : {392, 5000}) {
    if (!player_->Playing()) player_->Play(Source());
    const size_t before = display_.Positions().size();
    player_->SeekTo(x, 393);
    const uint64_t target = static_cast<uint64_t>(997 * (static_cast<double>(length_) / 1000.0)) / 4 * 4;
    EXPECT_GE(BASS_ChannelGetPosition(decode_, BASS_POS_BYTE), target) << "x " << x;
    DrainUntilStopped();
    EXPECT_FALSE(player_->Playing());
    const std::vector<int> shownAfter = display_.Positions();
    EXPECT_NE(std::find(shownAfter.begin() + static_cast<long>(before), shownAfter.end(), 997), shownAfter.end());
  }
  // No seek while stopped.
  const size_t stopped = display_.Positions().size();
  player_->SeekTo(196, 393);
  EXPECT_EQ(display_.Positions().size(), stopped);

  player_->Play(Source());
  EXPECT_LE(BASS_ChannelGetPosition(decode_, BASS_POS_BYTE), slack);
  player_->Stop();
}

TEST_F(PreviewTest, ReductionSwitchDrivesLampSpectrumAndMeter) {
  Load(3.0);
  engine_options_.ApplyPreviewReduction = false;
  player_->Play(Source());
  ServeFor(300ms);
  EXPECT_GT(display_.ledOff, 0);
  EXPECT_EQ(display_.ledOn, 0);
  EXPECT_EQ(display_.spectra, 0);
  EXPECT_EQ(display_.meterUpdates, 0);
  EXPECT_GT(display_.meterDecays, 0);

  engine_options_.ApplyPreviewReduction = true;
  ServeFor(300ms);
  EXPECT_TRUE(display_.led);
  EXPECT_GT(display_.spectra, 0);
  EXPECT_GT(display_.meterUpdates, 0);

  // DC correction on: the meter is no longer measured, only decays.
  engine_options_.DcOffsetCorrection = true;
  ServeFor(50ms);
  const int updates = display_.meterUpdates;
  const int decays = display_.meterDecays;
  ServeFor(200ms);
  EXPECT_EQ(display_.meterUpdates, updates);
  EXPECT_GT(display_.meterDecays, decays);

  engine_options_.ApplyPreviewReduction = false;
  ServeFor(50ms);
  const int spectra = display_.spectra;
  ServeFor(200ms);
  EXPECT_EQ(display_.spectra, spectra);
  EXPECT_FALSE(display_.led);
  player_->Stop();
  EXPECT_FALSE(display_.wrongThread);
}

TEST_F(PreviewTest, WindowClosedWhileThePreviewStops) {
  Load(3.0);
  player_->Play(Source());
  ServeFor(200ms);
  // The window closes, freeing the player, in the middle of the stop's message processing.
  display_.onMessages = [this] { player_.reset(); };
  PreviewPlayer* const stopping = player_.get();
  stopping->Stop();
  EXPECT_EQ(player_, nullptr);
  EXPECT_EQ(display_.leaves, 0);
  EXPECT_EQ(display_.blanks, 0);
}

TEST_F(PreviewTest, TerminateEndsThePreviewWithoutTheStopSequence) {
  Load(3.0);
  player_->Play(Source());
  ServeFor(100ms);
  player_->Terminate();
  const auto deadline = std::chrono::steady_clock::now() + 300ms;
  while (player_->Running() && std::chrono::steady_clock::now() < deadline)
    MainThreadQueue::Instance().WaitAndDrain(10ms);
  EXPECT_FALSE(player_->Running());
  ServeFor(50ms);
  EXPECT_EQ(display_.leaves, 0);
  // Play is refused once the window closes.
  player_->Play(Source());
  EXPECT_EQ(display_.enters, 1);
}

}  // namespace
}  // namespace murmex
