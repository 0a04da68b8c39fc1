#include "pipeline/main_thread_queue.h"

#include <exception>
#include <memory>
#include <utility>

namespace murmex {

MainThreadQueue& MainThreadQueue::Instance() {
    static MainThreadQueue queue;
    return queue;
}

MainThreadQueue::MainThreadQueue() : MainThread(std::this_thread::get_id()) {}

void MainThreadQueue::BindToCurrentThread() {
    std::lock_guard<std::mutex> guard(Lock);
    MainThread = std::this_thread::get_id();
}

bool MainThreadQueue::IsMainThread() const {
    std::lock_guard<std::mutex> guard(Lock);
    return MainThread == std::this_thread::get_id();
}

void MainThreadQueue::Enqueue(std::function<void()> call) {
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> guard(Lock);
        Calls.push_back(std::move(call));
        ++Generation;
        wake = WakeHandler;
    }
    Changed.notify_all();
    if (wake) wake();
}

void MainThreadQueue::Post(std::function<void()> call) { Enqueue(std::move(call)); }

void MainThreadQueue::RunAndWait(std::function<void()> call) {
    if (IsMainThread()) {
        call();
        return;
    }
    struct Completion {
        std::mutex Lock;
        std::condition_variable Finished;
        bool Done = false;
        std::exception_ptr Error;
    };
    auto completion = std::make_shared<Completion>();
    Enqueue([completion, call = std::move(call)] {
        std::exception_ptr error;
        try {
            call();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard<std::mutex> guard(completion->Lock);
        completion->Error = error;
        completion->Done = true;
        completion->Finished.notify_all();
    });
    std::unique_lock<std::mutex> lock(completion->Lock);
    completion->Finished.wait(lock, [&] { return completion->Done; });
    if (completion->Error) std::rethrow_exception(completion->Error);
}

int MainThreadQueue::Drain() {
    int count = 0;
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard<std::mutex> guard(Lock);
            if (Calls.empty()) return count;
            call = std::move(Calls.front());
            Calls.pop_front();
        }
        call();
        ++count;
    }
}

bool MainThreadQueue::WaitAndDrain(std::chrono::milliseconds timeout) {
    {
        std::unique_lock<std::mutex> lock(Lock);
        Changed.wait_for(lock, timeout, [&] { return !Calls.empty(); });
    }
    return Drain() > 0;
}

void MainThreadQueue::DrainUntil(const std::function<bool()>& finished) {
    for (;;) {
        uint64_t seen;
        {
            std::lock_guard<std::mutex> guard(Lock);
            seen = Generation;
        }
        Drain();
        if (finished()) return;
        std::unique_lock<std::mutex> lock(Lock);
        Changed.wait(lock, [&] { return !Calls.empty() || Generation != seen; });
    }
}

void MainThreadQueue::Wake() {
    {
        std::lock_guard<std::mutex> guard(Lock);
        ++Generation;
    }
    Changed.notify_all();
}

void MainThreadQueue::SetWakeHandler(std::function<void()> wake) {
    std::lock_guard<std::mutex> guard(Lock);
    WakeHandler = std::move(wake);
}

}  // namespace murmex
