#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QtGlobal>

namespace murmex {

// Reads one environment variable; nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// Why the window cannot open in this session (over ssh, on a server), or nothing when it can try:
// a display is named (DISPLAY, WAYLAND_DISPLAY) or a Qt platform was chosen (QT_QPA_PLATFORM, or
// -platform among the arguments).
std::optional<std::string> MissingDisplay(int argc, char* argv[], const EnvironmentLookup& environment);

// What the program prints instead of Qt's own failure: no display, and what works without one.
std::string NoDisplayMessage(const std::string& reason);

// While it is held, Qt failing to open its platform (a display that is named but cannot be
// reached) prints NoDisplayMessage and ends the program with status 1 instead of Qt's advice to
// reinstall. Other messages pass as before.
class PlatformFailureGuard {
 public:
  PlatformFailureGuard();
  ~PlatformFailureGuard() { Release(); }
  PlatformFailureGuard(const PlatformFailureGuard&) = delete;
  PlatformFailureGuard& operator=(const PlatformFailureGuard&) = delete;

  void Release();

 private:
  bool held_ = true;
  QtMessageHandler previous_;
};

}  // namespace murmex
