#include "pipeline/event_handler.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "pipeline/au_thread.h"
#include "pipeline/main_thread_queue.h"

namespace murmex {

namespace {

std::mutex SharedLock;
TEventHandler* SharedInstance = nullptr;
int SharedUsers = 0;

}  // namespace

void TEventHandler::AddUser() {
    // The first output is created on the main thread, which binds the queue if nothing did.
    MainThreadQueue::Instance();
    std::lock_guard<std::mutex> guard(SharedLock);
    if (SharedUsers++ == 0) SharedInstance = new TEventHandler();
}

void TEventHandler::RemoveUser() {
    TEventHandler* retired = nullptr;
    {
        std::lock_guard<std::mutex> guard(SharedLock);
        if (--SharedUsers == 0) std::swap(retired, SharedInstance);
    }
    // Outside the lock: stopping the dispatcher may run queued main-thread calls, and those
    // may create outputs.
    delete retired;
}

TEventHandler& TEventHandler::Instance() {
    std::lock_guard<std::mutex> guard(SharedLock);
    assert(SharedInstance != nullptr && "the dispatcher exists while outputs exist");
    return *SharedInstance;
}

TEventHandler::TEventHandler() : Thread([this] { Execute(); }) {}

TEventHandler::~TEventHandler() {
    {
        std::lock_guard<std::mutex> guard(Lock);
        Terminated = true;
    }
    WakeEvent.notify_all();
    // The dispatcher may be waiting for the main thread to run a handler.
    if (MainThreadQueue::Instance().IsMainThread()) {
        MainThreadQueue::Instance().DrainUntil([this] {
            std::lock_guard<std::mutex> guard(Lock);
            return Finished;
        });
    }
    Thread.join();
}

void TEventHandler::PostEvent(PipelineEvent event) {
    {
        std::lock_guard<std::mutex> guard(Lock);
        if (event.Sender == RefusedSender) return;
        Pending.push_back(std::make_shared<PipelineEvent>(std::move(event)));
    }
    WakeEvent.notify_all();
}

void TEventHandler::PostDone(TAuOutput& sender, TAuThread& worker) {
    PostEvent({TPipelineEventKind::Done, &sender, sender.OnDone, &worker});
}

void TEventHandler::PostProgress(TAuOutput& sender) {
    PostEvent({TPipelineEventKind::Progress, &sender, sender.OnProgress, nullptr});
}

void TEventHandler::PostThreadException(TAuOutput& sender) {
    PostEvent({TPipelineEventKind::ThreadException, &sender, sender.OnThreadException, nullptr});
}

void TEventHandler::DiscardEventsOf(TAuOutput* sender) {
    {
        std::lock_guard<std::mutex> guard(Lock);
        std::erase_if(Pending, [sender](const auto& event) { return event->Sender == sender; });
        if (Current && Current->Sender == sender) Current.reset();
    }
    WakeEvent.notify_all();
}

void TEventHandler::RefuseSender(TAuOutput* sender) {
    std::lock_guard<std::mutex> guard(Lock);
    RefusedSender = sender;
}

void TEventHandler::AcceptAllSenders() {
    std::lock_guard<std::mutex> guard(Lock);
    RefusedSender = nullptr;
}

void TEventHandler::WakeUp() {
    {
        std::lock_guard<std::mutex> guard(Lock);
    }
    WakeEvent.notify_all();
}

void TEventHandler::Execute() {
    std::unique_lock<std::mutex> lock(Lock);
    while (!Terminated) {
        WakeEvent.wait(lock, [&] { return Terminated || !Pending.empty(); });
        if (Terminated) break;
        auto event = Pending.front();
        Pending.pop_front();
        Current = event;
        if (event->Kind == TPipelineEventKind::Done) {
            // Current is checked first: once the event is discarded its worker may be gone.
            WakeEvent.wait(lock, [&] {
                return Terminated || Current != event || event->Worker->Suspended();
            });
            if (Terminated || Current != event) continue;
            std::erase_if(Pending, [&](const auto& other) { return other->Sender == event->Sender; });
        }
        lock.unlock();
        Deliver(event);
        lock.lock();
        if (Current == event) Current.reset();
    }
    Finished = true;
    lock.unlock();
    MainThreadQueue::Instance().Wake();
}

void TEventHandler::Deliver(const std::shared_ptr<PipelineEvent>& event) {
    try {
        MainThreadQueue::Instance().RunAndWait([this, event] {
            {
                std::lock_guard<std::mutex> guard(Lock);
                if (Current != event) return;
            }
            if (event->Handler) event->Handler(*event->Sender);
        });
    } catch (...) {
        // A failing handler belongs to its owner; the events of the other outputs still go on.
    }
}

}  // namespace murmex
