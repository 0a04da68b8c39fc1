#pragma once

// One encoding run of LAME driven in the stream style: initialise from the configuration record,
// encode chunks, de-initialise (flush), close, write the VBR/Info header into the finished file.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "encoders/lame_library.h"
#include "encoders/mp3_config.h"

namespace murmex {

// Error codes of the stream interface.
constexpr uint32_t kLameOk = 0;
constexpr uint32_t kLameErrInvalidFormat = 1;
constexpr uint32_t kLameErrInvalidFormatParameters = 2;

class LameStream {
 public:
  LameStream() = default;
  ~LameStream();
  LameStream(const LameStream&) = delete;
  LameStream& operator=(const LameStream&) = delete;

  // Needs the library bound (LameLibrary). The input's channel count decides how the PCM is laid
  // out: a mono input is encoded as mono whatever the record's mode, so the file keeps the
  // input's duration. Returns kLameOk or an error code; on success gives the samples per chunk
  // (all channels counted) and the output buffer size in bytes.
  uint32_t Init(const Mp3ConfigRecord& record, int inputChannels, uint32_t& samplesPerChunk,
                uint32_t& outputBufferSize);

  // `sampleCount` 16-bit samples, all channels counted, interleaved. Returns the bytes produced
  // into `output`, or a negative encoder error.
  int EncodeChunk(const int16_t* samples, uint32_t sampleCount, uint8_t* output,
                  std::size_t outputSize);

  // Flushes the last frames into `output`; returns the bytes produced or a negative error. Keeps
  // the final VBR/Info header frame when the record asked for one.
  int Deinit(uint8_t* output, std::size_t outputSize);

  void Close();

  // The rate the frames are encoded at (after Init): the input's, or the one LAME resamples to.
  uint32_t OutputSampleRate() const { return outputSampleRate_; }

  // Whether Deinit kept a VBR/Info header frame to write.
  bool HasVbrHeader() const { return !vbrHeader_.empty(); }

  // Overwrites the first frame of the closed file with the VBR/Info header. Raises EAuException
  // when the file cannot be opened or written.
  void WriteVbrHeader(const std::filesystem::path& fileName) const;

 private:
  lame_global_flags* flags_ = nullptr;
  int channels_ = 0;
  uint32_t outputSampleRate_ = 0;
  bool writeVbrHeader_ = false;
  std::vector<uint8_t> vbrHeader_;
};

}  // namespace murmex
