#include "encoders/vorbis_resampler.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <string>

#include "pipeline/au_exception.h"

namespace murmex {

void VorbisResampler::SwrFree::operator()(SwrContext* context) const { swr_free(&context); }

VorbisResampler::VorbisResampler(unsigned channels, int inRate, int outRate) {
  AVChannelLayout layout{};
  av_channel_layout_default(&layout, static_cast<int>(channels));
  SwrContext* context = nullptr;
  const int made = swr_alloc_set_opts2(&context, &layout, AV_SAMPLE_FMT_FLTP, outRate, &layout,
                                       AV_SAMPLE_FMT_FLTP, inRate, 0, nullptr);
  av_channel_layout_uninit(&layout);
  Context.reset(context);
  if (made < 0 || swr_init(Context.get()) < 0) {
    throw EAuException("Resampling from " + std::to_string(inRate) + " Hz to " +
                       std::to_string(outRate) + " Hz could not be set up.");
  }
}

VorbisResampler::~VorbisResampler() = default;

int VorbisResampler::MaxOutput(int frames) const {
  const int most = swr_get_out_samples(Context.get(), frames);
  if (most < 0) throw EAuException("The resampler could not tell its output size.");
  return most;
}

int VorbisResampler::Convert(float* const* out, int capacity, const float* const* in, int frames) {
  // The library's signature predates const; it neither changes the pointer arrays nor the input.
  const int made = swr_convert(Context.get(), reinterpret_cast<uint8_t**>(const_cast<float**>(out)),
                               capacity,
                               reinterpret_cast<const uint8_t**>(const_cast<const float**>(in)),
                               frames);
  if (made < 0) throw EAuException("The audio could not be resampled.");
  return made;
}

int VorbisResampler::Flush(float* const* out, int capacity) {
  return Convert(out, capacity, nullptr, 0);
}

}  // namespace murmex
