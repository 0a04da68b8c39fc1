#pragma once

namespace murmex {

// Binds the main-thread call queue to the Qt event loop: every call queued from another thread
// schedules a drain on the application's thread. Unhooks itself when destroyed.
class QueueDrainer {
 public:
  QueueDrainer();
  ~QueueDrainer();
  QueueDrainer(const QueueDrainer&) = delete;
  QueueDrainer& operator=(const QueueDrainer&) = delete;
};

}  // namespace murmex
