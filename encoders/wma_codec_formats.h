#pragma once

// The audio codec formats the WMA writer can choose from, and the search that picks one for a
// wanted bitrate or VBR quality and a wanted input format.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace murmex {

constexpr uint16_t kWaveFormatWma2 = 0x0161;
constexpr uint16_t kWaveFormatWmaLossless = 0x0163;

struct WmaCodecFormat {
  uint16_t FormatTag = kWaveFormatWma2;  // the media subtype's first field
  unsigned Channels = 2;
  unsigned BitsPerSample = 16;
  unsigned SampleRate = 44100;
  uint32_t Bitrate = 128000;  // bit/s; the average bitrate of a VBR format
  int VbrQuality = 0;         // the "_VBRQUALITY" value of a VBR format, 0 for constant bitrate
};

struct WmaCodec {
  std::string Name;
  bool VbrCapable = false;  // whether the codec accepts "_VBRENABLED" = true
  std::vector<WmaCodecFormat> ConstantFormats;
  std::vector<WmaCodecFormat> VbrFormats;  // enumerated once "_VBRENABLED" is set

  // The formats as enumerated with "_VBRENABLED" set or not.
  const std::vector<WmaCodecFormat>& Formats(bool vbrEnabled) const {
    return vbrEnabled ? VbrFormats : ConstantFormats;
  }
};

// The codecs our encoder provides, in enumeration order: Windows Media Audio 9.2 (wmav2) with
// constant-bitrate formats for 8000..48000 Hz and VBR formats at 44100 and 48000 Hz.
const std::vector<WmaCodec>& WmaCodecs();

struct WmaFormatRequest {
  unsigned Channels = 2;
  unsigned BitsPerSample = 16;
  unsigned SampleRate = 44100;
  // bit/s for constant bitrate, the quality to match under VBR.
  uint32_t Target = 128000;
  bool Lossless = false;
  bool Vbr = false;
};

// Walks every format of every codec and returns the last one chosen (nullopt when none was):
// - lossless: a format qualifies when its tag is the lossless one;
// - VBR: when its "_VBRQUALITY" is at least as close to the target as the closest seen so far;
// - otherwise: when its bitrate is strictly closer to the target than the best chosen so far.
// A qualifying format is chosen when its channels and bits match and its sample rate is at least
// as close to the wanted one as the best so far; under lossless or VBR the first qualifying
// format is also chosen when nothing is yet.
std::optional<WmaCodecFormat> FindWmaFormat(const std::vector<WmaCodec>& codecs,
                                            const WmaFormatRequest& request);

// The format for an input at any sample rate; the writer resamples the input to the format's
// rate. The search alone keeps only formats at most the wanted rate away from it, so it finds
// none for a rate far below every format's (1000 Hz): such an input is matched as if it came at
// the lowest rate the codecs offer. Whatever the search finds on its own is kept.
std::optional<WmaCodecFormat> FindWmaFormatForInput(const std::vector<WmaCodec>& codecs,
                                                    const WmaFormatRequest& request);

}  // namespace murmex
