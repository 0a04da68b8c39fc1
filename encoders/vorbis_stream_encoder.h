#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "encoders/vorbis_library.h"
#include "encoders/vorbis_resampler.h"
#include "pipeline/au_stream.h"
#include "tags/au_tags.h"

namespace murmex {

// How the encoder is to be set up: quality mode when Nominal is -1, bitrate-managed mode
// otherwise (bit/s, -1 for an open bound).
struct VorbisEncoderSetup {
  unsigned Channels = 2;
  unsigned SampleRate = 44100;
  float Quality = 0.2F;
  long Maximum = -1;
  long Nominal = -1;
  long Minimum = -1;
};

// One logical Ogg Vorbis stream written to a TAuStream: the three header packets on pages of
// their own, then the audio, up to the page carrying the end-of-stream flag. Needs the Ogg,
// Vorbis and Vorbis-encoder libraries bound (VorbisLibrary::Instance()).
class VorbisStreamEncoder {
public:
  // Samples asked of the analysis buffer per channel for each call of Encode.
  static constexpr int kMaxFrames = 24576;

  VorbisStreamEncoder();
  ~VorbisStreamEncoder();
  VorbisStreamEncoder(const VorbisStreamEncoder&) = delete;
  VorbisStreamEncoder& operator=(const VorbisStreamEncoder&) = delete;

  // Sets the encoder up, adds every non-empty field of `comments` in key order and writes the
  // headers to `out`, which must outlive the stream. Raises EAuException when the set-up is
  // refused. A rate outside 8000..48000 that the encoder refuses is resampled to the nearest
  // common rate it accepts.
  void Open(const VorbisEncoderSetup& setup, const TAuTags& comments, int serial, TAuStream& out);

  // Encodes `bytes` of interleaved PCM (8, 16 or 24 bits) and writes the pages that are full; 0
  // bytes ends the stream, and the remaining pages, the last one flagged end-of-stream, are
  // written. At most kMaxFrames frames per call.
  void Encode(const uint8_t* pcm, std::size_t bytes, unsigned bitsPerSample);

  bool EndOfStream() const { return FEndOfStream; }
  // The rate the stream is encoded at (after Open): the input's own, or the one resampled to.
  unsigned SampleRate() const { return FRate; }
  // True once the headers are written, until Release.
  bool Writing() const { return FStage == Stage::Writing; }

  // Releases the encoder state (stream, block, analysis, comments, description, in that order).
  void Release();

private:
  enum class Stage { Closed, Described, Commented, Analysing, Writing };
  // Sets FInfo up at the first rate the encoder accepts and returns it.
  unsigned ChooseRate(const VorbisEncoderSetup& setup);
  bool Configure(const VorbisEncoderSetup& setup, unsigned rate);
  // Hands `frames` frames of the planar input to the analysis, through the resampler if any.
  void Analyse(const float* const* planar, int frames);
  // Gives the analysis what the resampler still holds once the input has ended.
  void FlushResampler();
  void WritePage(const ogg_page& page);
  void DrainPackets();

  const VorbisApi& Api;
  Stage FStage = Stage::Closed;
  bool FEndOfStream = false;
  unsigned FChannels = 0;
  unsigned FRate = 0;
  std::unique_ptr<VorbisResampler> FResampler;
  std::vector<std::vector<float>> FPlanar;  // the input converted, before resampling
  std::vector<float*> FPlanarPointers;
  TAuStream* FOut = nullptr;
  vorbis_info FInfo;
  vorbis_comment FComment;
  vorbis_dsp_state FDsp;
  vorbis_block FBlock;
  ogg_stream_state FStream;
};

}  // namespace murmex
