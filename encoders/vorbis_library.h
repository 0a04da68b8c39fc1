#pragma once

// Run-time binding of libogg, libvorbis, libvorbisfile and libvorbisenc. The libraries are opened
// by dlopen the first time an Ogg Vorbis component needs them and stay loaded; the headers are
// used only for the types and signatures of the entry points.

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <array>
#include <atomic>
#include <initializer_list>
#include <string>

namespace murmex {

enum class VorbisLib { Ogg = 0, Vorbis = 1, VorbisFile = 2, VorbisEnc = 3 };

#define MURMEX_OGG_ENTRY_POINTS(X)                                                                 \
  X(ogg_stream_init)                                                                               \
  X(ogg_stream_packetin)                                                                           \
  X(ogg_stream_flush)                                                                              \
  X(ogg_stream_pageout)                                                                            \
  X(ogg_page_eos)                                                                                  \
  X(ogg_page_serialno)                                                                             \
  X(ogg_stream_clear)

#define MURMEX_VORBIS_ENTRY_POINTS(X)                                                              \
  X(vorbis_info_init)                                                                              \
  X(vorbis_info_clear)                                                                             \
  X(vorbis_comment_init)                                                                           \
  X(vorbis_comment_add_tag)                                                                        \
  X(vorbis_comment_clear)                                                                          \
  X(vorbis_analysis_init)                                                                          \
  X(vorbis_block_init)                                                                             \
  X(vorbis_analysis_headerout)                                                                     \
  X(vorbis_analysis_buffer)                                                                        \
  X(vorbis_analysis_wrote)                                                                         \
  X(vorbis_analysis_blockout)                                                                      \
  X(vorbis_analysis)                                                                               \
  X(vorbis_bitrate_addblock)                                                                       \
  X(vorbis_bitrate_flushpacket)                                                                    \
  X(vorbis_block_clear)                                                                            \
  X(vorbis_dsp_clear)

#define MURMEX_VORBISFILE_ENTRY_POINTS(X)                                                          \
  X(ov_fopen)                                                                                      \
  X(ov_open_callbacks)                                                                             \
  X(ov_clear)                                                                                      \
  X(ov_info)                                                                                       \
  X(ov_comment)                                                                                    \
  X(ov_bitrate)                                                                                    \
  X(ov_pcm_total)                                                                                  \
  X(ov_time_total)                                                                                 \
  X(ov_read)

#define MURMEX_VORBISENC_ENTRY_POINTS(X)                                                           \
  X(vorbis_encode_init)                                                                            \
  X(vorbis_encode_setup_vbr)                                                                       \
  X(vorbis_encode_setup_init)

// The entry points, named as in the libraries. A pointer is valid once its library is loaded.
struct VorbisApi {
#define MURMEX_VORBIS_DECLARE(name) decltype(&::name) name = nullptr;
  MURMEX_OGG_ENTRY_POINTS(MURMEX_VORBIS_DECLARE)
  MURMEX_VORBIS_ENTRY_POINTS(MURMEX_VORBIS_DECLARE)
  MURMEX_VORBISFILE_ENTRY_POINTS(MURMEX_VORBIS_DECLARE)
  MURMEX_VORBISENC_ENTRY_POINTS(MURMEX_VORBIS_DECLARE)
#undef MURMEX_VORBIS_DECLARE
};

class VorbisLibrary {
 public:
  // The process-wide binding every Ogg Vorbis component uses.
  static VorbisLibrary& Instance();

  // A binding to other library files (tests use this to see a missing library reported).
  explicit VorbisLibrary(std::array<std::string, 4> fileNames);
  ~VorbisLibrary();
  VorbisLibrary(const VorbisLibrary&) = delete;
  VorbisLibrary& operator=(const VorbisLibrary&) = delete;

  // Loads each listed library that is not loaded yet (a library counts as loaded only when it
  // opened and every entry point was found), then returns the message for the first one still
  // missing in the order Ogg, Vorbis, Vorbis-file, Vorbis-encoder, or an empty text when all are
  // there. Thread-safe: loading runs under one process-wide lock.
  std::string Require(std::initializer_list<VorbisLib> libs);

  bool IsLoaded(VorbisLib lib) const;

  // Valid for the libraries that Require reported present.
  const VorbisApi& Api() const { return api_; }

  static const char* MissingMessage(VorbisLib lib);
  static constexpr std::array<const char*, 4> kDefaultFileNames = {
      "libogg.so.0", "libvorbis.so.0", "libvorbisfile.so.3", "libvorbisenc.so.2"};

 private:
  bool LoadLocked(VorbisLib lib);

  std::array<std::string, 4> fileNames_;
  std::array<void*, 4> handles_{};
  std::array<std::atomic<bool>, 4> loaded_{};
  VorbisApi api_;
};

}  // namespace murmex
