#include "source/handle_table.h"

#include <utility>

namespace murmex {

uint32_t HandleTable::AddEntry(Entry entry) {
  std::lock_guard lock(mutex_);
  // Handles are not reused soon after a free: a stale handle keeps naming nothing.
  do {
    ++lastHandle_;
  } while (lastHandle_ == 0 || entries_.contains(lastHandle_));
  entries_.emplace(lastHandle_, std::move(entry));
  return lastHandle_;
}

uint32_t HandleTable::Add(std::shared_ptr<DecoderStream> stream) { return AddEntry({std::move(stream), nullptr}); }

uint32_t HandleTable::Add(std::shared_ptr<PushStream> stream) { return AddEntry({nullptr, std::move(stream)}); }

std::shared_ptr<DecoderStream> HandleTable::Decoder(uint32_t handle) const {
  std::lock_guard lock(mutex_);
  const auto found = entries_.find(handle);
  return found == entries_.end() ? nullptr : found->second.Decoder;
}

std::shared_ptr<PushStream> HandleTable::Push(uint32_t handle) const {
  std::lock_guard lock(mutex_);
  const auto found = entries_.find(handle);
  return found == entries_.end() ? nullptr : found->second.Push;
}

bool HandleTable::Remove(uint32_t handle) {
  Entry removed;
  {
    std::lock_guard lock(mutex_);
    const auto found = entries_.find(handle);
    if (found == entries_.end()) return false;
    removed = std::move(found->second);
    entries_.erase(found);
  }
  return true;  // the stream closes here, outside the lock, unless a call still uses it
}

void HandleTable::Clear() {
  std::unordered_map<uint32_t, Entry> removed;
  {
    std::lock_guard lock(mutex_);
    removed.swap(entries_);
  }
}

}  // namespace murmex
