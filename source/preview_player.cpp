#include "source/preview_player.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "engine/spectral_engine.h"
#include "pipeline/main_thread_queue.h"
#include "source/play_thread.h"
#include "source/preview_display.h"

namespace murmex {

namespace {
constexpr auto kDcCorrectionStopWait = std::chrono::milliseconds(100);
constexpr auto kMeterDecayStep = std::chrono::milliseconds(5);
constexpr int kProgressScale = 1000;
}  // namespace

PreviewPlayer::PreviewPlayer(SpectralEngine& engine, PreviewDisplay& display)
    : engine_(engine), display_(display), self_(std::make_shared<PreviewPlayer*>(this)) {}

PreviewPlayer::~PreviewPlayer() {
  Terminate();
  WaitForPlayThread();
}

std::shared_ptr<TPlayThr> PreviewPlayer::PlayThreadIfRunning() const {
  std::shared_ptr<TPlayThr> thread = PlayThread.lock();
  if (thread && thread->Finished()) return nullptr;
  return thread;
}

bool PreviewPlayer::Running() const { return PlayThreadIfRunning() != nullptr; }

void PreviewPlayer::WaitForPlayThread() {
  if (std::shared_ptr<TPlayThr> thread = PlayThread.lock()) thread->WaitFinished();
  PlayThread.reset();
}

void PreviewPlayer::Play(const PreviewSource& source) {
  if (state_ != State::Ready || closing_ || source.Blocks == nullptr) return;
  source_ = source;
  engine_.PrepareEngine();
  BASS_ChannelSetPosition(source_.DecodeStream, 0, BASS_POS_BYTE);
  display_.EnterPreviewState();
  display_.StartSpectrumPhase();
  previewStopRequested_ = false;
  BASS_ChannelPlay(source_.PreviewStream, true);
  state_ = State::Playing;
  try {
    PlayThread = TPlayThr::Create(PlayLoop{engine_, display_, source_, previewStopRequested_,
                                           [this] { StopFromPreviewThread(); }});
  } catch (...) {
    // No thread: nothing plays, so the window goes back to Ready.
    previewStopRequested_ = true;
    BASS_ChannelStop(source_.PreviewStream);
    state_ = State::Ready;
    display_.LeavePreviewState();
    throw;
  }
}

void PreviewPlayer::StopPreview() {
  if (state_ != State::Playing) return;
  // The preview thread got here first at the end of the data; its posted call does the rest.
  if (previewStopRequested_.exchange(true)) return;
  if (std::shared_ptr<TPlayThr> thread = PlayThread.lock()) thread->Terminate();
  FinishStop();
}

void PreviewPlayer::StopFromPreviewThread() {
  if (previewStopRequested_.exchange(true)) return;
  std::weak_ptr<PreviewPlayer*> player = self_;
  MainThreadQueue::Instance().Post([player] {
    if (std::shared_ptr<PreviewPlayer*> alive = player.lock()) (*alive)->FinishStop();
  });
}

void PreviewPlayer::FinishStop() {
  if (state_ != State::Playing || closing_) return;
  state_ = State::Stopping;
  // The thread is at most one pass from its end (a hold-back sleep ends at the terminate
  // request); after it, the meter and the view belong to this thread alone. The display
  // changes it handed over are let through first, so none lands after the stop's own.
  WaitForPlayThread();
  if (!LetWindowProcessMessages()) return;
  if (engine_.Options().DcOffsetCorrection) {
    std::this_thread::sleep_for(kDcCorrectionStopWait);
  } else {
    while (!display_.DcMeterAtRest()) {
      display_.DecayDcMeter();
      std::this_thread::sleep_for(kMeterDecayStep);
      if (!LetWindowProcessMessages()) return;
    }
  }
  BASS_ChannelStop(source_.PreviewStream);
  display_.LeavePreviewState();
  display_.BlankSpectrum();
  if (!LetWindowProcessMessages()) return;
  state_ = State::Ready;
}

// The window may close while it processes its messages, and free this player with it; nothing
// of the player may be touched then.
bool PreviewPlayer::LetWindowProcessMessages() {
  const std::weak_ptr<PreviewPlayer*> alive = self_;
  display_.ProcessMessages();
  return !alive.expired();
}

void PreviewPlayer::SeekTo(int x, int width) {
  if (state_ != State::Playing || width <= 0) return;
  const int pixel = std::clamp(x, 0, width - 1);
  const int value = pixel * kProgressScale / width;
  const auto position = static_cast<uint64_t>(std::trunc(static_cast<double>(value) * source_.SeekFactor));
  BASS_ChannelSetPosition(source_.DecodeStream, position, BASS_POS_BYTE);
  display_.SetPreviewPosition(value);
}

void PreviewPlayer::Terminate() {
  closing_ = true;
  if (std::shared_ptr<TPlayThr> thread = PlayThread.lock()) thread->Terminate();
}

}  // namespace murmex
