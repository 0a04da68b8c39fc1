#pragma once

#include <mutex>

namespace murmex {

// FFTW's planner is not thread-safe, and a host may instantiate several plugins at once on
// different threads: every plan made or released by this library holds this lock.
std::mutex& FftPlanningMutex();

}  // namespace murmex
