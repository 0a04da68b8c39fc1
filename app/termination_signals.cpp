#include "app/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace murmex {
namespace {

constexpr std::array kWatchedSignals = {SIGTERM, SIGINT, SIGHUP};

// All the handler touches; lock-free, so reading it inside a handler is safe.
std::atomic<int> gWriteEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

void WriteSignalNumber(int signalNumber) {
  const int savedErrno = errno;
  const auto byte = static_cast<unsigned char>(signalNumber);
  // A full pipe already holds a request the event loop has yet to read: this one adds nothing.
  [[maybe_unused]] const ssize_t written = write(gWriteEnd.load(), &byte, 1);
  errno = savedErrno;
}

std::string SignalName(int signalNumber) {
  const char* abbreviation = sigabbrev_np(signalNumber);
  return abbreviation != nullptr ? std::string("SIG") + abbreviation : "signal " + std::to_string(signalNumber);
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) { Install(); }

TerminationSignals::~TerminationSignals() { Uninstall(); }

void TerminationSignals::Install() {
  if (gWriteEnd.load() != -1) {
    error_ = "another part of the program already watches the termination signals";
    return;
  }
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
    error_ = std::string("no pipe for the termination signals: ") + std::strerror(errno);
    return;
  }
  readEnd_ = ends[0];
  writeEnd_ = ends[1];
  gWriteEnd = writeEnd_;
  notifier_ = new QSocketNotifier(readEnd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::Drain);

  struct sigaction action {};
  action.sa_handler = WriteSignalNumber;
  sigemptyset(&action.sa_mask);
  // Blocking calls on the worker threads resume instead of failing with EINTR.
  action.sa_flags = SA_RESTART;
  for (const int signalNumber : kWatchedSignals) {
    struct sigaction old {};
    if (sigaction(signalNumber, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) {
      // Started under nohup, or in the background of a script: the caller wants it ignored.
      continue;
    }
    if (sigaction(signalNumber, &action, &old) != 0) {
      error_ = "cannot handle " + SignalName(signalNumber) + ": " + std::strerror(errno);
      Uninstall();
      return;
    }
    previous_.emplace_back(signalNumber, old);
  }
}

void TerminationSignals::Uninstall() {
  for (const auto& [signalNumber, old] : previous_) sigaction(signalNumber, &old, nullptr);
  previous_.clear();
  if (writeEnd_ == -1) return;
  gWriteEnd = -1;
  delete notifier_;
  notifier_ = nullptr;
  close(readEnd_);
  close(writeEnd_);
  readEnd_ = writeEnd_ = -1;
}

void TerminationSignals::Drain() {
  unsigned char bytes[16];
  int first = 0;
  ssize_t count = 0;
  while ((count = read(readEnd_, bytes, sizeof bytes)) > 0) {
    if (first == 0) first = bytes[0];
  }
  // However many arrived, one request to close is enough.
  if (first != 0) emit received(first);
}

}  // namespace murmex
