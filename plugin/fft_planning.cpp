#include "plugin/fft_planning.h"

namespace murmex {

std::mutex& FftPlanningMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace murmex
