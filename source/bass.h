#pragma once
// The decoding and playback calls the loader, the preview and the export use. Streams are named
// by 32-bit handles, 0 meaning none. Decoding runs on FFmpeg, playback on an SDL audio device.
//
// Threads: every call may be made from any thread. Each stream has its own lock, so a seek from
// the window's thread may meet a read on the preview thread; a stream freed while another thread
// is inside a call on it closes when that call returns.
//
// Results: calls named as returning success return false on failure (an unknown handle, a handle
// of the wrong kind, an unsupported mode or flag). Byte counts and positions of 64 bits return
// all bits set on failure; 32-bit counts return 0xFFFFFFFF (reads as -1 as a signed int).
#include <cstdint>

namespace murmex {

using HSTREAM = uint32_t;
using STREAMPROC = uint32_t(HSTREAM handle, void* buffer, uint32_t length, void* user);

inline constexpr uint32_t BASS_SAMPLE_8BITS = 0x1;        // channel info: the source holds 8-bit PCM
inline constexpr uint32_t BASS_STREAM_DECODE = 0x200000;  // decode only, never played
inline constexpr uint32_t BASS_POS_BYTE = 0;              // positions and lengths in bytes
inline constexpr uint32_t BASS_DATA_AVAILABLE = 0;        // GetData: ask how much is queued
inline constexpr uint32_t BASS_ACTIVE_STOPPED = 0;
inline constexpr uint32_t BASS_ACTIVE_PLAYING = 1;
inline constexpr uint32_t BASS_ACTIVE_STALLED = 2;        // playing, but its queue is empty
inline constexpr uint32_t BASS_COUNT_ERROR = 0xFFFFFFFFu;
inline constexpr uint64_t BASS_POSITION_ERROR = ~uint64_t{0};
// The procedure value that makes BASS_StreamCreate return a push stream.
inline STREAMPROC* const STREAMPROC_PUSH = reinterpret_cast<STREAMPROC*>(static_cast<intptr_t>(-1));

struct BASS_CHANNELINFO {
  uint32_t freq = 0;     // sample rate
  uint32_t chans = 0;    // channel count
  uint32_t flags = 0;    // BASS_SAMPLE_8BITS, BASS_STREAM_DECODE
  uint32_t origres = 0;  // bits per sample of the source, 0 when not known
};

// device -1: the default output; device 0: no output (decoding only, push streams cannot be
// made). Fails when no output device can be opened, or when already initialised.
bool BASS_Init(int device, uint32_t freq, uint32_t flags, void* window, const void* classId);
bool BASS_Start();
// Frees every stream and the output.
bool BASS_Free();

// Decoding streams on a file (mem must be false, offset and length 0 for the whole file, flags
// must hold BASS_STREAM_DECODE). file is the UTF-8 path. 0 when the file cannot be decoded.
// The core call takes WAV, MP3, Ogg and AIFF; the WMA and FLAC calls take only their format.
HSTREAM BASS_StreamCreateFile(bool mem, const void* file, uint64_t offset, uint64_t length, uint32_t flags);
HSTREAM BASS_WMA_StreamCreateFile(bool mem, const void* file, uint64_t offset, uint64_t length, uint32_t flags);
HSTREAM BASS_FLAC_StreamCreateFile(bool mem, const void* file, uint64_t offset, uint64_t length, uint32_t flags);
// A push stream of 16-bit PCM (proc STREAMPROC_PUSH, flags 0); 0 without an output device.
HSTREAM BASS_StreamCreate(uint32_t freq, uint32_t chans, uint32_t flags, STREAMPROC* proc, void* user);
bool BASS_StreamFree(HSTREAM handle);
// There are no music handles: always false, harmless on any handle.
bool BASS_MusicFree(HSTREAM handle);

// Leaves info untouched on failure.
bool BASS_ChannelGetInfo(HSTREAM handle, BASS_CHANNELINFO* info);
// Decoded length in bytes (exact for PCM and FLAC, from the container otherwise); all bits set
// when it cannot be told.
uint64_t BASS_ChannelGetLength(HSTREAM handle, uint32_t mode);
// Decoding streams: the next read starts at pos brought down to a whole frame, sample-accurate.
// False past the end of a stream of exact length.
bool BASS_ChannelSetPosition(HSTREAM handle, uint64_t pos, uint32_t mode);
uint64_t BASS_ChannelGetPosition(HSTREAM handle, uint32_t mode);
// Decoding streams: PLAYING while data remains, STOPPED once all was read.
// Push streams: PLAYING, STALLED (queue empty) or STOPPED.
uint32_t BASS_ChannelIsActive(HSTREAM handle);
// Decoding streams: reads up to length bytes of interleaved 16-bit PCM, always whole frames;
// returns the count, 0 at the end of the data. Push streams: buffer nullptr and length
// BASS_DATA_AVAILABLE give the bytes queued and not yet heard.
uint32_t BASS_ChannelGetData(HSTREAM handle, void* buffer, uint32_t length);
double BASS_ChannelBytes2Seconds(HSTREAM handle, uint64_t bytes);
// Appends whole frames to a push stream's queue; returns the bytes now queued.
uint32_t BASS_StreamPutData(HSTREAM handle, const void* buffer, uint32_t length);
// Push streams: play what is queued and what arrives; restart first discards the queue.
bool BASS_ChannelPlay(HSTREAM handle, bool restart);
// Push streams: silent at once, the queue discarded.
bool BASS_ChannelStop(HSTREAM handle);

}  // namespace murmex
