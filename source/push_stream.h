#pragma once
// A playable push stream: 16-bit PCM appended by the caller is heard in order. It is one SDL
// audio device whose own queue is the play queue; SDL locks that queue, so feeding from one
// thread while another starts, stops or queries it is safe.
#include <atomic>
#include <cstdint>
#include <memory>

namespace murmex {

class PushStream {
 public:
  // Opens an output device for rate and channel count, paused; nullptr when none can be opened.
  static std::unique_ptr<PushStream> Open(uint32_t sampleRate, uint32_t channels);
  ~PushStream();
  PushStream(const PushStream&) = delete;
  PushStream& operator=(const PushStream&) = delete;

  // Appends whole frames of PCM; false when the device refused them.
  bool Put(const void* data, uint32_t bytes);
  // Bytes queued and not yet heard.
  uint32_t QueuedBytes() const;
  // Starts playing; a restart first discards what is queued.
  void Play(bool restart);
  // Silence at once: pauses and discards the queue.
  void Stop();
  bool IsPlaying() const { return playing_; }
  double BytesToSeconds(uint64_t bytes) const;

 private:
  PushStream(uint32_t device, uint32_t sampleRate, uint32_t channels);

  const uint32_t device_;
  const uint32_t sampleRate_;
  const uint32_t channels_;
  std::atomic<bool> playing_{false};
};

}  // namespace murmex
