#pragma once

#include <QObject>
#include <csignal>
#include <string>
#include <utility>
#include <vector>

class QSocketNotifier;

namespace murmex {

// Turns SIGTERM, SIGINT and SIGHUP (kill, Ctrl+C in a terminal, the end of the session) into the
// Qt signal `received` on the thread that made this object, so the window can close as its Close
// control does instead of dying in the middle of a file. The handler only writes the signal's
// number into a pipe, which is all it may safely do; the event loop watches the other end.
// One instance at a time: the handler has a single pipe to write to.
class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // Empty while the signals are watched; otherwise why they could not be (they then keep the
  // actions they had, normally ending the program at once).
  const std::string& Error() const { return error_; }

 signals:
  void received(int signalNumber);

 private:
  void Install();
  void Uninstall();
  void Drain();

  int readEnd_ = -1;
  int writeEnd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
  std::vector<std::pair<int, struct sigaction>> previous_;
  std::string error_;
};

}  // namespace murmex
