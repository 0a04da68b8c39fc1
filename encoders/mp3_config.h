#pragma once

// Settings of the MP3 writer and the encoder configuration record built from them.

#include <cstdint>

namespace murmex {

enum TMP3BitRate {
  mbrAuto, mbr32, mbr40, mbr48, mbr56, mbr64, mbr80, mbr96, mbr112, mbr128,
  mbr144, mbr160, mbr192, mbr224, mbr256, mbr320
};

// The ordinal is the encoder's mode number.
enum TMP3Mode { mmStereo, mmJointStereo, mmDual, mmMono };

// The ordinal is the encoder's VBR quality number (0 best).
enum TMP3Quality {
  mp3ql0, mp3ql1, mp3ql2, mp3ql3, mp3ql4, mp3ql5, mp3ql6, mp3ql7, mp3ql8, mp3ql9
};

// kbit/s of a bitrate choice; mbrAuto is 0.
uint32_t Mp3BitRateKbps(TMP3BitRate rate);

struct Mp3Settings {
  TMP3BitRate BitRate = mbr128;  // CBR rate; the minimum under VBR
  TMP3Mode Mode = mmStereo;
  bool CRC = false;
  bool Copyright = false;  // kept, never put into the record
  bool Original = true;
  TMP3Quality VBRQuality = mp3ql0;
  bool EnableVBR = false;
  TMP3BitRate AverageBitrate = mbrAuto;  // ABR target; mbrAuto means plain VBR
  TMP3BitRate MaximumBitrate = mbrAuto;
};

constexpr uint32_t kMp3ConfigLame = 256;
constexpr int32_t kMp3VbrMethodNew = 2;
constexpr int32_t kMp3VbrMethodAbr = 4;

// The stream interface's configuration record in its LAME layout: little-endian, packed, 331
// bytes. Booleans are 32-bit, true being all bits set.
#pragma pack(push, 1)
struct Mp3ConfigRecord {
  uint32_t ConfigKind;
  uint32_t StructVersion;
  uint32_t StructSize;
  uint32_t SampleRate;
  uint32_t ReSampleRate;
  int32_t Mode;
  uint32_t Bitrate;
  uint32_t MaxBitrate;
  int32_t PresetQuality;
  uint32_t MpegVersion;
  uint32_t PsyModel;
  uint32_t Emphasis;
  int32_t Private;
  int32_t Crc;
  int32_t Copyright;
  int32_t Original;
  int32_t WriteVbrHeader;
  int32_t EnableVbr;
  int32_t VbrQuality;
  uint32_t VbrAbrKbps;
  int32_t VbrMethod;
  uint8_t Reserved[247];
};
#pragma pack(pop)
static_assert(sizeof(Mp3ConfigRecord) == 331, "the record layout is fixed");

// The record for an input at `sampleRate`. The resample rate stays 0 (the encoder decides) for a
// rate MPEG audio can hold; any other rate is resampled to the nearest one that it can.
Mp3ConfigRecord BuildMp3Config(const Mp3Settings& settings, uint32_t sampleRate);

// The MPEG audio rate nearest to `sampleRate` (the higher of two equally near), or 0 when
// `sampleRate` is itself one.
uint32_t Mp3ResampleRate(uint32_t sampleRate);

}  // namespace murmex
