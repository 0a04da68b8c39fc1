#include "app/queue_drainer.h"

#include <QMetaObject>

#include "pipeline/main_thread_queue.h"

namespace murmex {

QueueDrainer::QueueDrainer(QObject* parent) : QObject(parent) {
  MainThreadQueue& queue = MainThreadQueue::Instance();
  queue.BindToCurrentThread();
  queue.SetWakeHandler([this] {
    // Queued, so the drain runs on the event loop's thread whatever thread queued the call.
    QMetaObject::invokeMethod(this, [] { MainThreadQueue::Instance().Drain(); }, Qt::QueuedConnection);
  });
}

QueueDrainer::~QueueDrainer() { MainThreadQueue::Instance().SetWakeHandler({}); }

}  // namespace murmex
