#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace murmex {

class TAuOutput;

// The worker of one output. It is created suspended; each Resume runs one pass of the
// output's run and then the worker suspends itself again. It ends only when destroyed.
class TAuThread {
public:
    explicit TAuThread(TAuOutput& owner);
    // Terminates, resumes and joins the thread.
    ~TAuThread();
    TAuThread(const TAuThread&) = delete;
    TAuThread& operator=(const TAuThread&) = delete;

    // Wakes the worker for one run. A Resume that arrives while the worker is still finishing
    // its previous run is kept, never lost.
    void Resume();
    bool Suspended() const { return FSuspended.load(); }
    bool IsCurrentThread() const { return std::this_thread::get_id() == Thread.get_id(); }
    // Blocks until the worker is suspended or RunFinished is set. On the main thread it runs
    // queued main-thread calls while it waits, so a dispatcher waiting for the main thread
    // cannot lock against it.
    void WaitUntilRunEnds();
    // Blocks until the worker is suspended. Only for a worker that has already finished its
    // run (it is merely posting its done event), which never needs the main thread.
    void WaitUntilSuspended();

    std::atomic<bool> NotifyWhenFinished{true};
    std::atomic<bool> RunFinished{false};
    std::atomic<bool> HaltRequested{false};

private:
    void Execute();
    void SetSuspended();

    TAuOutput& Owner;
    std::mutex Lock;
    std::condition_variable StateChanged;
    bool ResumePending = false;
    bool Terminated = false;
    std::atomic<bool> FSuspended{true};
    std::thread Thread;
};

}  // namespace murmex
