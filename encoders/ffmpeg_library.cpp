#include "encoders/ffmpeg_library.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <array>

namespace murmex {

void PrepareFfmpeg() {
  // A function-local static is initialised exactly once, even when threads race to it.
  static const bool prepared = [] {
    av_log_set_level(AV_LOG_QUIET);
    av_max_alloc(kFfmpegMaxAllocation);
    return true;
  }();
  (void)prepared;
}

std::string FfmpegErrorText(int code) {
  std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
  // av_strerror always leaves a message, a generic one for codes it does not know.
  av_strerror(code, text.data(), text.size());
  return text.data();
}

}  // namespace murmex
