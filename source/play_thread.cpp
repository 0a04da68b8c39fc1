#include "source/play_thread.h"

#include <cmath>
#include <thread>
#include <utility>

#include "engine/block_contract.h"
#include "engine/spectral_engine.h"
#include "source/bass.h"
#include "source/preview_display.h"

namespace murmex {

std::weak_ptr<TPlayThr> TPlayThr::Create(PlayLoop loop) {
  std::shared_ptr<TPlayThr> self(new TPlayThr(std::move(loop)));
  std::weak_ptr<TPlayThr> reference = self;
  std::thread([self = std::move(self)] {
    self->Execute();
    self->MarkFinished();
  }).detach();
  return reference;
}

TPlayThr::TPlayThr(PlayLoop loop) : loop_(std::move(loop)) {}

void TPlayThr::Terminate() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    terminated_ = true;
  }
  changed_.notify_all();
}

bool TPlayThr::Finished() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return finished_;
}

void TPlayThr::WaitFinished() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return finished_; });
}

bool TPlayThr::WaitFinishedFor(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return finished_; });
}

void TPlayThr::MarkFinished() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
}

void TPlayThr::Execute() {
  while (!Terminated()) {
    if (BASS_ChannelIsActive(loop_.Source.DecodeStream) == BASS_ACTIVE_STOPPED || loop_.PreviewStopRequested) {
      loop_.StopPreview();
      Terminate();
    } else {
      PlayBlock();
    }
    UpdateDcMeter();
  }
}

void TPlayThr::PlayBlock() {
  const ProcessingOptions& options = loop_.Engine.Options();
  loop_.Display.SetLed1(options.ApplyPreviewReduction);
  // The count read is not used: after a short last read the rest of the block still holds the
  // previous samples, and the whole block goes on.
  RunBlockContract(loop_.Engine, *loop_.Source.Blocks, options.ApplyPreviewReduction);
  HoldBackWhileQueueFull();
  BASS_StreamPutData(loop_.Source.PreviewStream, loop_.Engine.OutputBlock().data(), SpectralEngine::kBlockBytes);
  if (options.ApplyPreviewReduction) loop_.Display.DrawSpectrum(loop_.Engine);
  if (!loop_.PreviewStopRequested) ShowProgress();
}

// Sleeps off the queue's excess over its limit, so the queue stays within one block of it
// without polling. A stream that cannot tell its queue (all bits set) is not waited for.
void TPlayThr::HoldBackWhileQueueFull() {
  const uint32_t queued = BASS_ChannelGetData(loop_.Source.PreviewStream, nullptr, BASS_DATA_AVAILABLE);
  const uint32_t limit = loop_.Source.PreviewQueueLimit;
  if (queued == BASS_COUNT_ERROR || queued <= limit) return;
  const double seconds = BASS_ChannelBytes2Seconds(loop_.Source.PreviewStream, queued - limit);
  if (!(seconds > 0.0)) return;
  const auto sleep = std::chrono::milliseconds(static_cast<int64_t>(1000.0 * seconds));
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, sleep, [this] { return terminated_.load(); });
}

// Only even values, and only when the value changes: the bar is repainted at most 500 times
// over the whole source.
void TPlayThr::ShowProgress() {
  const uint64_t position = BASS_ChannelGetPosition(loop_.Source.DecodeStream, BASS_POS_BYTE);
  if (position == BASS_POSITION_ERROR) return;
  const auto value = static_cast<int32_t>(std::trunc(static_cast<double>(position) * loop_.Source.ProgressFactor));
  if (value % 2 != 0 || value == lastProgress_) return;
  loop_.Display.SetPreviewPosition(value);
  lastProgress_ = value;
}

// Bins 0 and 1 are only measured while the engine analyses and the DC filter is off; otherwise
// the meter falls back to rest.
void TPlayThr::UpdateDcMeter() {
  const ProcessingOptions& options = loop_.Engine.Options();
  if (options.DcOffsetCorrection || !options.ApplyPreviewReduction)
    loop_.Display.DecayDcMeter();
  else
    loop_.Display.UpdateDcMeter(loop_.Engine);
}

}  // namespace murmex
