#pragma once

#include <atomic>
#include <memory>

#include "source/preview_source.h"

namespace murmex {

class PreviewDisplay;
class SpectralEngine;
class TPlayThr;

// Play, Stop and seek of the preview, on the window's thread. Play hands the engine to a
// TPlayThr until the preview stops; the stop runs once, begun by the window (Stop) or by the
// preview thread (end of the data), its window-side steps always on the window's thread
// through the main-thread queue.
class PreviewPlayer {
 public:
  PreviewPlayer(SpectralEngine& engine, PreviewDisplay& display);
  // Terminates a running preview thread and waits for it to end.
  ~PreviewPlayer();
  PreviewPlayer(const PreviewPlayer&) = delete;
  PreviewPlayer& operator=(const PreviewPlayer&) = delete;

  // Play: from the beginning of the source, whatever an earlier seek did. Ignored while a
  // preview runs or stops.
  void Play(const PreviewSource& source);
  void Stop() { StopPreview(); }
  // Seek: a button released at x over the progress bar, `width` pixels wide. A release beside
  // the bar seeks to the bar's nearest pixel, so the position stays inside the source.
  void SeekTo(int x, int width);
  void StopPreview();
  // Window close: asks the thread to leave its loop; the stop sequence does not run.
  void Terminate();

  // True while a preview thread has not finished.
  bool Running() const;
  bool Playing() const { return state_ == State::Playing; }
  bool PreviewStopRequested() const { return previewStopRequested_; }

 private:
  enum class State { Ready, Playing, Stopping };

  // Preview thread: the data ran out; the first to ask for the stop runs it.
  void StopFromPreviewThread();
  // Window's thread: steps of the stop after the thread was asked to terminate.
  void FinishStop();
  // False when the player was freed meanwhile (the window closed).
  [[nodiscard]] bool LetWindowProcessMessages();
  void WaitForPlayThread();
  std::shared_ptr<TPlayThr> PlayThreadIfRunning() const;

  SpectralEngine& engine_;
  PreviewDisplay& display_;
  PreviewSource source_;
  State state_ = State::Ready;
  bool closing_ = false;
  std::atomic<bool> previewStopRequested_{true};
  std::weak_ptr<TPlayThr> PlayThread;
  // Calls posted to the window's thread hold this weakly and do nothing once the player is gone.
  std::shared_ptr<PreviewPlayer*> self_;
};

}  // namespace murmex
