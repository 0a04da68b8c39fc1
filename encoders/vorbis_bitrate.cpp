#include "encoders/vorbis_bitrate.h"

#include <array>
#include <cstddef>

namespace murmex {

long VorbisBitRateValue(TVorbisBitRate rate) {
  static constexpr std::array<long, 18> kBitsPerSecond = {
      -1,     24000,  32000,  45000,  48000,  56000,  64000,  80000,  96000,
      112000, 128000, 144000, 160000, 192000, 224000, 256000, 320000, 499000};
  const auto index = static_cast<std::size_t>(rate);
  return index < kBitsPerSecond.size() ? kBitsPerSecond[index] : -1;
}

}  // namespace murmex
