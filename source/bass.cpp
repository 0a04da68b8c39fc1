#include "source/bass.h"

#include <SDL.h>

#include <memory>
#include <mutex>

#include "source/decoder_stream.h"
#include "source/handle_table.h"
#include "source/push_stream.h"

namespace murmex {
namespace {

struct Library {
  std::mutex InitLock;  // Init and Free against stream creation
  bool Initialised = false;
  bool Output = false;
  HandleTable Handles;
};

Library& TheLibrary() {
  static Library library;
  return library;
}

// SDL reports no failure when a driver exists but no device works; opening one tells.
bool OutputDeviceOpens() {
  const auto probe = PushStream::Open(44100, 2);
  return probe != nullptr;
}

HSTREAM CreateDecoder(bool mem, const void* file, uint64_t offset, uint64_t length, uint32_t flags,
                      DecoderStream::Family family) {
  if (mem || file == nullptr || offset != 0 || length != 0 || (flags & BASS_STREAM_DECODE) == 0) return 0;
  std::shared_ptr<DecoderStream> stream = DecoderStream::Open(static_cast<const char*>(file), family);
  return stream == nullptr ? 0 : TheLibrary().Handles.Add(std::move(stream));
}

}  // namespace

bool BASS_Init(int device, uint32_t, uint32_t, void*, const void*) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.InitLock);
  if (library.Initialised || device < -1 || device > 1) return false;
  if (device != 0) {
    // Termination signals belong to the program, not to an SDL quit event nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    if (!OutputDeviceOpens()) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
  }
  library.Initialised = true;
  library.Output = device != 0;
  return true;
}

bool BASS_Start() {
  Library& library = TheLibrary();
  std::lock_guard lock(library.InitLock);
  return library.Initialised;
}

bool BASS_Free() {
  Library& library = TheLibrary();
  std::lock_guard lock(library.InitLock);
  if (!library.Initialised) return false;
  library.Handles.Clear();
  if (library.Output) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  library.Initialised = false;
  library.Output = false;
  return true;
}

HSTREAM BASS_StreamCreateFile(bool mem, const void* file, uint64_t offset, uint64_t length, uint32_t flags) {
  return CreateDecoder(mem, file, offset, length, flags, DecoderStream::Family::Core);
}

HSTREAM BASS_WMA_StreamCreateFile(bool mem, const void* file, uint64_t offset, uint64_t length, uint32_t flags) {
  return CreateDecoder(mem, file, offset, length, flags, DecoderStream::Family::Wma);
}

HSTREAM BASS_FLAC_StreamCreateFile(bool mem, const void* file, uint64_t offset, uint64_t length, uint32_t flags) {
  return CreateDecoder(mem, file, offset, length, flags, DecoderStream::Family::Flac);
}

HSTREAM BASS_StreamCreate(uint32_t freq, uint32_t chans, uint32_t flags, STREAMPROC* proc, void*) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.InitLock);
  if (!library.Output || proc != STREAMPROC_PUSH || flags != 0) return 0;
  std::shared_ptr<PushStream> stream = PushStream::Open(freq, chans);
  return stream == nullptr ? 0 : library.Handles.Add(std::move(stream));
}

bool BASS_StreamFree(HSTREAM handle) { return TheLibrary().Handles.Remove(handle); }

bool BASS_MusicFree(HSTREAM) { return false; }

bool BASS_ChannelGetInfo(HSTREAM handle, BASS_CHANNELINFO* info) {
  if (info == nullptr) return false;
  if (const auto decoder = TheLibrary().Handles.Decoder(handle)) {
    const DecoderStream::Format format = decoder->Info();
    *info = {format.SampleRate, format.Channels,
             BASS_STREAM_DECODE | (format.EightBit ? BASS_SAMPLE_8BITS : 0u), format.SourceBits};
    return true;
  }
  return false;
}

uint64_t BASS_ChannelGetLength(HSTREAM handle, uint32_t mode) {
  const auto decoder = TheLibrary().Handles.Decoder(handle);
  if (decoder == nullptr || mode != BASS_POS_BYTE || decoder->LengthBytes() < 0) return BASS_POSITION_ERROR;
  return static_cast<uint64_t>(decoder->LengthBytes());
}

bool BASS_ChannelSetPosition(HSTREAM handle, uint64_t pos, uint32_t mode) {
  const auto decoder = TheLibrary().Handles.Decoder(handle);
  return decoder != nullptr && mode == BASS_POS_BYTE && decoder->Seek(pos);
}

uint64_t BASS_ChannelGetPosition(HSTREAM handle, uint32_t mode) {
  const auto decoder = TheLibrary().Handles.Decoder(handle);
  if (decoder == nullptr || mode != BASS_POS_BYTE) return BASS_POSITION_ERROR;
  return decoder->PositionBytes();
}

uint32_t BASS_ChannelIsActive(HSTREAM handle) {
  if (const auto decoder = TheLibrary().Handles.Decoder(handle))
    return decoder->IsActive() ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
  if (const auto push = TheLibrary().Handles.Push(handle)) {
    if (!push->IsPlaying()) return BASS_ACTIVE_STOPPED;
    return push->QueuedBytes() > 0 ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STALLED;
  }
  return BASS_ACTIVE_STOPPED;
}

uint32_t BASS_ChannelGetData(HSTREAM handle, void* buffer, uint32_t length) {
  if (const auto decoder = TheLibrary().Handles.Decoder(handle)) {
    if (buffer == nullptr && length != 0) return BASS_COUNT_ERROR;
    return decoder->Read(buffer, length);
  }
  if (const auto push = TheLibrary().Handles.Push(handle))
    return length == BASS_DATA_AVAILABLE ? push->QueuedBytes() : BASS_COUNT_ERROR;
  return BASS_COUNT_ERROR;
}

double BASS_ChannelBytes2Seconds(HSTREAM handle, uint64_t bytes) {
  if (const auto decoder = TheLibrary().Handles.Decoder(handle)) return decoder->BytesToSeconds(bytes);
  if (const auto push = TheLibrary().Handles.Push(handle)) return push->BytesToSeconds(bytes);
  return -1.0;
}

uint32_t BASS_StreamPutData(HSTREAM handle, const void* buffer, uint32_t length) {
  const auto push = TheLibrary().Handles.Push(handle);
  if (push == nullptr || (buffer == nullptr && length != 0)) return BASS_COUNT_ERROR;
  if (length != 0 && !push->Put(buffer, length)) return BASS_COUNT_ERROR;
  return push->QueuedBytes();
}

bool BASS_ChannelPlay(HSTREAM handle, bool restart) {
  const auto push = TheLibrary().Handles.Push(handle);
  if (push == nullptr) return false;
  push->Play(restart);
  return true;
}

bool BASS_ChannelStop(HSTREAM handle) {
  const auto push = TheLibrary().Handles.Push(handle);
  if (push == nullptr) return false;
  push->Stop();
  return true;
}

}  // namespace murmex
