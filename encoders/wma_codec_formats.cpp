#include "encoders/wma_codec_formats.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace murmex {

namespace {

struct RateBitrates {
  unsigned SampleRate;
  unsigned Channels;
  std::vector<uint32_t> Kbps;
};

// Constant-bitrate formats, highest bitrate first; at each bitrate 44100 Hz comes before the
// other rates, so an equally good 44.1 kHz format wins (the search keeps the first of a tie).
std::vector<WmaCodecFormat> ConstantFormats() {
  static const std::vector<RateBitrates> kTable = {
      {44100, 2, {320, 256, 192, 160, 128, 96, 80, 64, 48, 40, 32}},
      {48000, 2, {320, 256, 192, 160, 128, 96, 64, 48}},
      {32000, 2, {64, 48, 40, 32, 24}},
      {22050, 2, {48, 40, 32, 24}},
      {16000, 2, {32, 24}},
      {11025, 2, {24}},
      {8000, 2, {24}},
      {44100, 1, {64, 48, 40, 32, 24}},
      {48000, 1, {64, 48, 32}},
      {32000, 1, {40, 32, 24}},
      {22050, 1, {32, 24}},
      {16000, 1, {24}},
      {11025, 1, {24}},
      {8000, 1, {24}},
  };
  std::vector<WmaCodecFormat> formats;
  for (uint32_t kbps : {320, 256, 192, 160, 128, 96, 80, 64, 48, 40, 32, 24}) {
    for (const RateBitrates& row : kTable) {
      for (uint32_t rowKbps : row.Kbps) {
        if (rowKbps != kbps) continue;
        formats.push_back({kWaveFormatWma2, row.Channels, 16, row.SampleRate, kbps * 1000, 0});
      }
    }
  }
  return formats;
}

// VBR formats by rising quality, each at its typical average bitrate.
std::vector<WmaCodecFormat> VbrFormats() {
  struct Quality {
    int Value;
    uint32_t StereoKbps;
    uint32_t MonoKbps;
  };
  static const Quality kQualities[] = {{10, 48, 32}, {25, 64, 40},   {50, 96, 48},
                                       {75, 128, 64}, {90, 192, 96}, {98, 256, 128}};
  std::vector<WmaCodecFormat> formats;
  for (const Quality& q : kQualities) {
    for (unsigned rate : {44100U, 48000U}) {
      formats.push_back({kWaveFormatWma2, 2, 16, rate, q.StereoKbps * 1000, q.Value});
      formats.push_back({kWaveFormatWma2, 1, 16, rate, q.MonoKbps * 1000, q.Value});
    }
  }
  return formats;
}

int64_t Distance(int64_t a, int64_t b) { return std::llabs(a - b); }

}  // namespace

const std::vector<WmaCodec>& WmaCodecs() {
  static const std::vector<WmaCodec> kCodecs = {
      {"Windows Media Audio 9.2", true, ConstantFormats(), VbrFormats()},
  };
  return kCodecs;
}

std::optional<WmaCodecFormat> FindWmaFormat(const std::vector<WmaCodec>& codecs,
                                            const WmaFormatRequest& request) {
  const bool vbrEnabled = request.Lossless || request.Vbr;
  int64_t bestBitrate = 0;
  int64_t bestSampleRate = 0;
  int64_t bestQuality = 0;
  std::optional<WmaCodecFormat> chosen;
  for (const WmaCodec& codec : codecs) {
    if (vbrEnabled && !codec.VbrCapable) continue;
    for (const WmaCodecFormat& format : codec.Formats(vbrEnabled)) {
      bool qualifies = false;
      if (request.Lossless) {
        qualifies = format.FormatTag == kWaveFormatWmaLossless;
      } else if (request.Vbr) {
        const int64_t distance = Distance(format.VbrQuality, request.Target);
        const int64_t bestDistance = Distance(bestQuality, request.Target);
        qualifies = distance <= bestDistance;
        if (distance < bestDistance) bestQuality = format.VbrQuality;
      } else {
        qualifies = Distance(format.Bitrate, request.Target) < Distance(bestBitrate, request.Target);
      }
      if (!qualifies) continue;
      if (vbrEnabled && !chosen) chosen = format;
      if (format.Channels == request.Channels && format.BitsPerSample == request.BitsPerSample &&
          Distance(format.SampleRate, request.SampleRate) <=
              Distance(bestSampleRate, request.SampleRate)) {
        chosen = format;
        bestBitrate = format.Bitrate;
        bestSampleRate = format.SampleRate;
      }
    }
  }
  return chosen;
}

std::optional<WmaCodecFormat> FindWmaFormatForInput(const std::vector<WmaCodec>& codecs,
                                                    const WmaFormatRequest& request) {
  if (auto found = FindWmaFormat(codecs, request)) return found;
  unsigned lowest = UINT_MAX;
  for (const WmaCodec& codec : codecs) {
    for (bool vbrEnabled : {false, true}) {
      for (const WmaCodecFormat& format : codec.Formats(vbrEnabled)) {
        lowest = std::min(lowest, format.SampleRate);
      }
    }
  }
  if (request.SampleRate >= lowest) return std::nullopt;
  WmaFormatRequest atLowest = request;
  atLowest.SampleRate = lowest;
  return FindWmaFormat(codecs, atLowest);
}

}  // namespace murmex
