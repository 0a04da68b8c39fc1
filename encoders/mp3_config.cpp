#include "encoders/mp3_config.h"

#include <array>
#include <cstring>

namespace murmex {

namespace {

constexpr int32_t LongBool(bool value) { return value ? -1 : 0; }

// Every rate of MPEG-1, MPEG-2 and MPEG-2.5 layer III, ascending.
constexpr std::array<uint32_t, 9> kMpegRates = {8000,  11025, 12000, 16000, 22050,
                                                24000, 32000, 44100, 48000};

}  // namespace

uint32_t Mp3BitRateKbps(TMP3BitRate rate) {
  static constexpr std::array<uint32_t, 16> kKbps = {0,   32,  40,  48,  56,  64,  80,  96,
                                                     112, 128, 144, 160, 192, 224, 256, 320};
  const auto index = static_cast<std::size_t>(rate);
  return index < kKbps.size() ? kKbps[index] : 0;
}

uint32_t Mp3ResampleRate(uint32_t sampleRate) {
  uint32_t nearest = kMpegRates.front();
  for (const uint32_t rate : kMpegRates) {
    if (rate == sampleRate) return 0;
    const uint32_t distance = rate > sampleRate ? rate - sampleRate : sampleRate - rate;
    const uint32_t best = nearest > sampleRate ? nearest - sampleRate : sampleRate - nearest;
    if (distance <= best) nearest = rate;
  }
  return nearest;
}

Mp3ConfigRecord BuildMp3Config(const Mp3Settings& settings, uint32_t sampleRate) {
  Mp3ConfigRecord record;
  std::memset(&record, 0, sizeof record);
  record.ConfigKind = kMp3ConfigLame;
  record.StructVersion = 1;
  record.StructSize = sizeof(Mp3ConfigRecord);
  record.SampleRate = sampleRate;
  record.ReSampleRate = Mp3ResampleRate(sampleRate);
  record.Mode = settings.Mode;
  record.Bitrate = Mp3BitRateKbps(settings.BitRate);
  record.MaxBitrate = Mp3BitRateKbps(settings.MaximumBitrate);
  record.Crc = LongBool(settings.CRC);
  record.Original = LongBool(settings.Original);
  record.WriteVbrHeader = LongBool(settings.EnableVBR);
  record.EnableVbr = LongBool(settings.EnableVBR);
  record.VbrQuality = settings.EnableVBR ? settings.VBRQuality : 0;
  record.VbrAbrKbps = Mp3BitRateKbps(settings.AverageBitrate);
  record.VbrMethod = record.VbrAbrKbps != 0 ? kMp3VbrMethodAbr : kMp3VbrMethodNew;
  return record;
}

}  // namespace murmex
