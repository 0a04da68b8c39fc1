#include "app/display_check.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QString>

namespace murmex {

namespace {

bool IsSet(const char* value) { return value != nullptr && value[0] != '\0'; }

QtMessageHandler previousHandler = nullptr;

void PassOn(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (previousHandler != nullptr)
    previousHandler(type, context, message);
  else
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

void HandlePlatformFailure(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    PassOn(type, context, message);
    return;
  }
  const char* display = std::getenv("DISPLAY");
  // Qt's own lines above say what it tried; this one says what to do.
  const std::string reason = IsSet(display) ? std::string("the display ") + display + " could not be used"
                                            : std::string("no display could be used");
  std::fputs(NoDisplayMessage(reason).c_str(), stderr);
  std::fflush(stderr);
  std::_Exit(1);
}

}  // namespace

std::optional<std::string> MissingDisplay(int argc, char* argv[], const EnvironmentLookup& environment) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    if (IsSet(environment(name))) return std::nullopt;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return std::nullopt;
  return "neither DISPLAY nor WAYLAND_DISPLAY is set";
}

std::string NoDisplayMessage(const std::string& reason) {
  return "murmex: no display found (" + reason +
         "), so the window cannot open.\n"
         "To clean audio without a window, use murmex-cli (see murmex-cli --help); in the source tree,\n"
         "`make demo` runs it on a bundled sample. To show the window over ssh, connect with ssh -X.\n";
}

PlatformFailureGuard::PlatformFailureGuard() : previous_(qInstallMessageHandler(HandlePlatformFailure)) {
  previousHandler = previous_;
}

void PlatformFailureGuard::Release() {
  if (!held_) return;
  held_ = false;
  qInstallMessageHandler(previous_);
  previousHandler = nullptr;
}

}  // namespace murmex
