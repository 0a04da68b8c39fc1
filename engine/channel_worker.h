#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace murmex {

// A second thread that runs one job at a time beside the thread that hands it over: the engine
// gives it the second channel of each stereo block while it works on the first. A job takes a
// few microseconds, far less than waking a sleeping thread, so the worker spins while it waits
// (offering its core when the machine is busy) for as long as it exists: the engine keeps one
// only while a save runs. Handing over allocates nothing and takes no lock.
class ChannelWorker {
public:
    using Job = void (*)(void* context);

    ChannelWorker();
    ~ChannelWorker();
    ChannelWorker(const ChannelWorker&) = delete;
    ChannelWorker& operator=(const ChannelWorker&) = delete;

    // Starts job(context) on the worker thread. The previous job must have been waited for.
    void Start(Job job, void* context);
    // Returns once the job started last has run; what it wrote is then visible to the caller.
    void Wait();

    // The cores this process may run on: under Slurm, taskset or a container's CPU set that can
    // be fewer than the machine has.
    static int UsableCores();

private:
    void Run();

    Job job_ = nullptr;
    void* context_ = nullptr;
    // Jobs handed over and jobs finished; a job is pending while they differ.
    std::atomic<uint32_t> started_{0};
    std::atomic<uint32_t> finished_{0};
    std::atomic<bool> quit_{false};
    std::thread thread_;
};

}  // namespace murmex
