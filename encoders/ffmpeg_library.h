#pragma once

// The process-wide FFmpeg set-up every FFmpeg user (the decoder, the media-attribute reader, the
// WMA writer) calls before its first FFmpeg call, and the wording of FFmpeg's error codes.

#include <cstddef>
#include <string>

namespace murmex {

// The largest single block FFmpeg may allocate. No real file needs blocks near this size (our
// own decode and encode buffers stay in the kilobytes to a few megabytes), while a damaged
// header claiming a huge chunk would otherwise make FFmpeg take gigabytes for it.
constexpr std::size_t kFfmpegMaxAllocation = std::size_t{256} << 20;

// Silences FFmpeg's console output (broken input is reported through our own messages) and caps
// its allocations at kFfmpegMaxAllocation. Runs once per process; safe to call from any thread.
void PrepareFfmpeg();

// FFmpeg's text for an error code; an errno-based code gives the system's text
// ("No space left on device").
std::string FfmpegErrorText(int code);

}  // namespace murmex
