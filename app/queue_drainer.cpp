#include "app/queue_drainer.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "pipeline/main_thread_queue.h"

namespace murmex {

QueueDrainer::QueueDrainer() {
  MainThreadQueue& queue = MainThreadQueue::Instance();
  queue.BindToCurrentThread();
  // The handler may still run on a worker just after it was unhooked, so it holds on to nothing
  // but the application object, which outlives every window.
  queue.SetWakeHandler([] {
    if (QCoreApplication* application = QCoreApplication::instance())
      QMetaObject::invokeMethod(application, [] { MainThreadQueue::Instance().Drain(); }, Qt::QueuedConnection);
  });
}

QueueDrainer::~QueueDrainer() { MainThreadQueue::Instance().SetWakeHandler({}); }

}  // namespace murmex
