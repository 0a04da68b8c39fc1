#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "source/preview_source.h"

namespace murmex {

class PreviewDisplay;
class SpectralEngine;

// What one preview loop works on. The engine and its buffers belong to the loop from Play until
// the thread has finished.
struct PlayLoop {
  SpectralEngine& Engine;
  PreviewDisplay& Display;
  PreviewSource Source;
  const std::atomic<bool>& PreviewStopRequested;
  // The preview thread's part of the stop when it finds the data exhausted (or a stop under
  // way); the window's part of the stop is its business.
  std::function<void()> StopPreview;
};

// The preview thread: pulls blocks from the decoding stream through the engine into the play
// queue, holding back while the queue is over its limit, and updates the display.
//
// The thread owns its object: it is created running and frees it when Execute returns. Others
// hold a weak reference, good only for asking it to terminate and for learning that it ended.
class TPlayThr {
 public:
  static std::weak_ptr<TPlayThr> Create(PlayLoop loop);

  TPlayThr(const TPlayThr&) = delete;
  TPlayThr& operator=(const TPlayThr&) = delete;

  // Any thread: the loop ends after its current pass; a hold-back sleep ends at once.
  void Terminate();
  bool Terminated() const { return terminated_; }
  // True once Execute has returned; the thread touches nothing outside itself after that.
  bool Finished() const;
  void WaitFinished();
  bool WaitFinishedFor(std::chrono::milliseconds timeout);

 private:
  explicit TPlayThr(PlayLoop loop);
  void Execute();
  void PlayBlock();
  void HoldBackWhileQueueFull();
  void ShowProgress();
  void UpdateDcMeter();
  void MarkFinished();

  PlayLoop loop_;
  int32_t lastProgress_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<bool> terminated_{false};
  bool finished_ = false;
};

}  // namespace murmex
