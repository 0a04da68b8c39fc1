#pragma once

namespace murmex {

enum TVorbisBitRate {
  brAutoSelect, bitrate24, bitrate32, bitrate45, bitrate48, bitrate56, bitrate64, bitrate80,
  bitrate96, bitrate112, bitrate128, bitrate144, bitrate160, bitrate192, bitrate224, bitrate256,
  bitrate320, bitrate499
};

// bit/s of a bitrate choice; brAutoSelect is passed on as -1.
long VorbisBitRateValue(TVorbisBitRate rate);

}  // namespace murmex
