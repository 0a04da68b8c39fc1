#include "engine/channel_worker.h"

#include <sched.h>

namespace murmex {

namespace {

// Past a channel's work on a block the other side is likely not running: the machine is busy,
// or the scheduler put both threads on one core. From then on the waiting side offers its core
// now and then, so that the other side can run, and the idle core soon takes one of them over.
constexpr int kChecksBeforeYielding = 2000;
constexpr int kChecksPerYield = 64;

void Relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Waits until `counter` no longer holds `seen` and returns its new value. Neither side ever
// sleeps in the kernel: waking a thread costs far more than a channel's work on a block, and a
// woken thread is put on the core of the thread that woke it, where the two would take turns
// instead of running side by side.
uint32_t AwaitChange(const std::atomic<uint32_t>& counter, uint32_t seen) {
    for (int check = 1;; ++check) {
        const uint32_t now = counter.load(std::memory_order_acquire);
        if (now != seen) return now;
        if (check > kChecksBeforeYielding && check % kChecksPerYield == 0) {
            std::this_thread::yield();
        } else {
            Relax();
        }
    }
}

}  // namespace

ChannelWorker::ChannelWorker() : thread_([this] { Run(); }) {}

ChannelWorker::~ChannelWorker() {
    quit_.store(true, std::memory_order_relaxed);
    started_.fetch_add(1, std::memory_order_release);
    thread_.join();
}

void ChannelWorker::Start(Job job, void* context) {
    job_ = job;
    context_ = context;
    started_.fetch_add(1, std::memory_order_release);
}

void ChannelWorker::Wait() {
    const uint32_t target = started_.load(std::memory_order_relaxed);
    uint32_t done = finished_.load(std::memory_order_acquire);
    while (done != target) done = AwaitChange(finished_, done);
}

void ChannelWorker::Run() {
    uint32_t seen = 0;
    for (;;) {
        seen = AwaitChange(started_, seen);
        if (quit_.load(std::memory_order_relaxed)) return;
        job_(context_);
        finished_.store(seen, std::memory_order_release);
    }
}

int ChannelWorker::UsableCores() {
    cpu_set_t allowed;
    if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0) return CPU_COUNT(&allowed);
    const auto cores = static_cast<int>(std::thread::hardware_concurrency());
    return cores > 0 ? cores : 1;
}

}  // namespace murmex
