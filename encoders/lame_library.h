#pragma once

// Run-time binding of the LAME encoder library (libmp3lame.so.0). Its header is used only for the
// types and signatures of the entry points.

#include <lame/lame.h>

#include <string>

namespace murmex {

#define MURMEX_LAME_ENTRY_POINTS(X)                                                                \
  X(lame_init)                                                                                     \
  X(lame_set_in_samplerate)                                                                        \
  X(lame_set_out_samplerate)                                                                       \
  X(lame_set_num_channels)                                                                         \
  X(lame_set_mode)                                                                                 \
  X(lame_set_brate)                                                                                \
  X(lame_set_VBR)                                                                                  \
  X(lame_set_VBR_q)                                                                                \
  X(lame_set_VBR_min_bitrate_kbps)                                                                 \
  X(lame_set_VBR_max_bitrate_kbps)                                                                 \
  X(lame_set_VBR_mean_bitrate_kbps)                                                                \
  X(lame_set_error_protection)                                                                     \
  X(lame_set_original)                                                                             \
  X(lame_set_copyright)                                                                            \
  X(lame_set_bWriteVbrTag)                                                                         \
  X(lame_init_params)                                                                              \
  X(lame_get_framesize)                                                                            \
  X(lame_get_out_samplerate)                                                                       \
  X(lame_encode_buffer)                                                                            \
  X(lame_encode_buffer_interleaved)                                                                \
  X(lame_encode_flush)                                                                             \
  X(lame_get_lametag_frame)                                                                        \
  X(lame_close)

struct LameApi {
#define MURMEX_LAME_DECLARE(name) decltype(&::name) name = nullptr;
  MURMEX_LAME_ENTRY_POINTS(MURMEX_LAME_DECLARE)
#undef MURMEX_LAME_DECLARE
};

// The process-wide binding. Each MP3 writer holds one reference from its creation to its
// destruction; the library is released when the last reference goes, so a second writer never
// finds the library unloaded under it.
class LameLibrary {
 public:
  static constexpr const char* kDefaultFileName = "libmp3lame.so.0";
  static constexpr const char* kMissingMessage = "lame_enc.dll library could not be loaded.";

  // Adds a reference and loads the library if it is not loaded; returns whether it is loaded
  // (opened, and every entry point found). A failed load holds no reference.
  static bool Acquire();
  static void Release();
  static bool IsLoaded();
  // Valid while a reference is held and IsLoaded() is true.
  static const LameApi& Api();

  // The file the next load opens (tests point it at a missing file).
  static void SetFileName(std::string fileName);
};

}  // namespace murmex
