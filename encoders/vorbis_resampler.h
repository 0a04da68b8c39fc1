#pragma once

#include <memory>

struct SwrContext;

namespace murmex {

// Converts planar float audio from one sample rate to another, for an encoder that cannot take
// the input's own rate. Keeps the filter's state between calls; Flush gives out what it holds.
class VorbisResampler {
public:
  // Raises EAuException when the conversion cannot be set up.
  VorbisResampler(unsigned channels, int inRate, int outRate);
  ~VorbisResampler();
  VorbisResampler(const VorbisResampler&) = delete;
  VorbisResampler& operator=(const VorbisResampler&) = delete;

  // The most frames the next Convert of `frames` (or the Flush, for 0) can give.
  int MaxOutput(int frames) const;
  // Converts `frames` frames of `in` into `out`, which has room for `capacity` frames per channel;
  // returns the frames written. Raises EAuException on failure.
  int Convert(float* const* out, int capacity, const float* const* in, int frames);
  // Writes out what the filter still holds once the input has ended.
  int Flush(float* const* out, int capacity);

private:
  struct SwrFree {
    void operator()(SwrContext* context) const;
  };
  std::unique_ptr<SwrContext, SwrFree> Context;
};

}  // namespace murmex
