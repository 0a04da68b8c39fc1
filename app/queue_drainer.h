#pragma once

#include <QObject>

namespace murmex {

// Binds the main-thread call queue to the Qt event loop: every call queued from another thread
// schedules a drain on this object's thread. Unhooks itself when destroyed.
class QueueDrainer : public QObject {
  Q_OBJECT

 public:
  explicit QueueDrainer(QObject* parent = nullptr);
  ~QueueDrainer() override;
};

}  // namespace murmex
