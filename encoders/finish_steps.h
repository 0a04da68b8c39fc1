#pragma once

#include <exception>
#include <functional>
#include <initializer_list>

namespace murmex {

// Runs every step even when an earlier one raised, then raises the first failure again. A writer
// finishing its file must still close it, release its encoder and finish its input when a write
// fails (a full disk), and the failure must still reach the user.
inline void RunFinishSteps(std::initializer_list<std::function<void()>> steps) {
  std::exception_ptr failure;
  for (const auto& step : steps) {
    try {
      step();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace murmex
