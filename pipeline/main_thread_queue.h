#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace murmex {

// Calls that must run on the main thread, posted from any thread. The main thread drains the
// queue: the window from its event loop (through the wake handler), the command line and the
// tests by themselves. Bound to the thread that first asks for the instance unless
// BindToCurrentThread says otherwise.
class MainThreadQueue {
public:
    static MainThreadQueue& Instance();

    void BindToCurrentThread();
    bool IsMainThread() const;
    // Runs `call` on the main thread and waits for it; runs at once when called on the main
    // thread. An exception of the call is raised again in the caller.
    void RunAndWait(std::function<void()> call);
    // Queues `call` in order; the caller does not wait.
    void Post(std::function<void()> call);
    // Main thread: runs every queued call (also those queued meanwhile); returns the count.
    int Drain();
    // Main thread: waits up to `timeout` for a call, then drains; true when any call ran.
    bool WaitAndDrain(std::chrono::milliseconds timeout);
    // Main thread: drains until `finished` holds. `finished` is checked after every drain and
    // whenever another thread calls Wake, so the wait needs no polling.
    void DrainUntil(const std::function<bool()>& finished);
    // Any thread: makes a DrainUntil in progress look at its condition again.
    void Wake();
    // Called from any thread whenever a call is queued (the Qt app schedules Drain with it).
    void SetWakeHandler(std::function<void()> wake);

private:
    MainThreadQueue();
    void Enqueue(std::function<void()> call);

    mutable std::mutex Lock;
    std::condition_variable Changed;
    std::deque<std::function<void()>> Calls;
    uint64_t Generation = 0;
    std::thread::id MainThread;
    std::function<void()> WakeHandler;
};

}  // namespace murmex
