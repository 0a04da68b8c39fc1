#include "pipeline/au_thread.h"

#include "pipeline/au_output.h"
#include "pipeline/event_handler.h"
#include "pipeline/main_thread_queue.h"

namespace murmex {

TAuThread::TAuThread(TAuOutput& owner) : Owner(owner), Thread([this] { Execute(); }) {}

TAuThread::~TAuThread() {
    {
        std::lock_guard<std::mutex> guard(Lock);
        Terminated = true;
        ResumePending = true;
    }
    StateChanged.notify_all();
    Thread.join();
}

void TAuThread::Resume() {
    {
        std::lock_guard<std::mutex> guard(Lock);
        ResumePending = true;
        // From now on the worker counts as busy, even before it has woken up.
        FSuspended = false;
    }
    StateChanged.notify_all();
}

void TAuThread::SetSuspended() {
    FSuspended = true;
    StateChanged.notify_all();
    // Whoever waits for this worker to become idle looks again: a pending done event at the
    // dispatcher, or the main thread inside RequestStop.
    TEventHandler::Instance().WakeUp();
    MainThreadQueue::Instance().Wake();
}

void TAuThread::Execute() {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(Lock);
            if (!ResumePending) SetSuspended();
            StateChanged.wait(lock, [&] { return ResumePending; });
            ResumePending = false;
            if (Terminated) return;
        }
        Owner.Run();
        {
            std::lock_guard<std::mutex> guard(Lock);
            RunFinished = true;
        }
        StateChanged.notify_all();
        MainThreadQueue::Instance().Wake();
    }
}

void TAuThread::WaitUntilRunEnds() {
    const auto ended = [&] { return FSuspended.load() || RunFinished.load(); };
    if (MainThreadQueue::Instance().IsMainThread()) {
        MainThreadQueue::Instance().DrainUntil(ended);
        return;
    }
    std::unique_lock<std::mutex> lock(Lock);
    StateChanged.wait(lock, ended);
}

void TAuThread::WaitUntilSuspended() {
    std::unique_lock<std::mutex> lock(Lock);
    StateChanged.wait(lock, [&] { return FSuspended.load(); });
}

}  // namespace murmex
