#include "source/push_stream.h"

#include <SDL.h>

namespace murmex {

std::unique_ptr<PushStream> PushStream::Open(uint32_t sampleRate, uint32_t channels) {
  if (sampleRate == 0 || channels == 0 || channels > 255) return nullptr;
  SDL_AudioSpec wanted{};
  wanted.freq = static_cast<int>(sampleRate);
  wanted.format = AUDIO_S16SYS;
  wanted.channels = static_cast<Uint8>(channels);
  wanted.samples = 1024;
  wanted.callback = nullptr;  // no callback: the device plays its queue
  SDL_AudioSpec obtained{};
  // No allowed changes: SDL converts from our format itself, so the queue holds our bytes.
  const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (device == 0) return nullptr;
  return std::unique_ptr<PushStream>(new PushStream(device, sampleRate, channels));
}

PushStream::PushStream(uint32_t device, uint32_t sampleRate, uint32_t channels)
    : device_(device), sampleRate_(sampleRate), channels_(channels) {}

PushStream::~PushStream() { SDL_CloseAudioDevice(device_); }

bool PushStream::Put(const void* data, uint32_t bytes) {
  const uint32_t frameBytes = channels_ * 2;
  return SDL_QueueAudio(device_, data, bytes - bytes % frameBytes) == 0;
}

uint32_t PushStream::QueuedBytes() const { return SDL_GetQueuedAudioSize(device_); }

void PushStream::Play(bool restart) {
  if (restart) SDL_ClearQueuedAudio(device_);
  SDL_PauseAudioDevice(device_, 0);
  playing_ = true;
}

void PushStream::Stop() {
  SDL_PauseAudioDevice(device_, 1);
  SDL_ClearQueuedAudio(device_);
  playing_ = false;
}

double PushStream::BytesToSeconds(uint64_t bytes) const {
  return static_cast<double>(bytes) / (static_cast<double>(sampleRate_) * channels_ * 2);
}

}  // namespace murmex
