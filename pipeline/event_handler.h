#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "pipeline/au_output.h"

namespace murmex {

class TAuThread;

enum class TPipelineEventKind { Progress = 0, Done = 1, ThreadException = 2 };

struct PipelineEvent {
    TPipelineEventKind Kind = TPipelineEventKind::Progress;
    TAuOutput* Sender = nullptr;
    TAuOutput::TOutputEvent Handler;
    TAuThread* Worker = nullptr;  // done events: the sender's worker
};

// The one dispatcher shared by all outputs: it delivers their events on the main thread, one
// at a time and in posting order. A done event waits until its worker is idle and then drops
// the sender's other pending events, so nothing of a run arrives after its OnDone.
class TEventHandler {
public:
    // Shared instance life: every output adds a user when created and removes it when
    // destroyed; the dispatcher exists while there are users.
    static void AddUser();
    static void RemoveUser();
    static TEventHandler& Instance();

    void PostEvent(PipelineEvent event);
    void PostDone(TAuOutput& sender, TAuThread& worker);
    void PostProgress(TAuOutput& sender);
    void PostThreadException(TAuOutput& sender);
    // Drops the sender's pending events and the one being delivered, if it is the sender's
    // and its handler has not begun.
    void DiscardEventsOf(TAuOutput* sender);
    void RefuseSender(TAuOutput* sender);
    void AcceptAllSenders();
    // A worker calls this when it suspends, so a done event waiting for it goes on at once.
    void WakeUp();

    TEventHandler();
    ~TEventHandler();
    TEventHandler(const TEventHandler&) = delete;
    TEventHandler& operator=(const TEventHandler&) = delete;

private:
    void Execute();
    void Deliver(const std::shared_ptr<PipelineEvent>& event);

    std::mutex Lock;
    std::condition_variable WakeEvent;
    std::deque<std::shared_ptr<PipelineEvent>> Pending;
    std::shared_ptr<PipelineEvent> Current;
    TAuOutput* RefusedSender = nullptr;
    bool Terminated = false;
    bool Finished = false;
    std::thread Thread;
};

}  // namespace murmex
