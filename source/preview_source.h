#pragma once

#include <cstdint>

#include "source/bass.h"

namespace murmex {

class BlockSource;

// The loaded source as a preview plays it.
struct PreviewSource {
  HSTREAM DecodeStream = 0;
  HSTREAM PreviewStream = 0;
  // Bytes the play queue may hold before the preview thread holds back.
  uint32_t PreviewQueueLimit = 0;
  // Byte position of DecodeStream -> 0..1000 on the progress bar, and back.
  double ProgressFactor = 0.0;
  double SeekFactor = 0.0;
  // Reads DecodeStream block by block; must outlive the preview.
  BlockSource* Blocks = nullptr;
};

}  // namespace murmex
