#pragma once
// The 32-bit handles of the decoding and playback calls. A handle names one stream; 0 is never
// given out. Lookups hand out shared ownership, so a stream freed on one thread stays alive until
// a call running on another thread has finished with it.
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "source/decoder_stream.h"
#include "source/push_stream.h"

namespace murmex {

class HandleTable {
 public:
  uint32_t Add(std::shared_ptr<DecoderStream> stream);
  uint32_t Add(std::shared_ptr<PushStream> stream);
  std::shared_ptr<DecoderStream> Decoder(uint32_t handle) const;
  std::shared_ptr<PushStream> Push(uint32_t handle) const;
  // False when the handle names nothing (0, unknown or already freed).
  bool Remove(uint32_t handle);
  void Clear();

 private:
  struct Entry {
    std::shared_ptr<DecoderStream> Decoder;
    std::shared_ptr<PushStream> Push;
  };
  uint32_t AddEntry(Entry entry);

  mutable std::mutex mutex_;
  std::unordered_map<uint32_t, Entry> entries_;
  uint32_t lastHandle_ = 0;
};

}  // namespace murmex
