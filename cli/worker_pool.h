#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/worker_channel.h"

namespace murmex {

// How a worker process ended.
struct WorkerEnd {
    enum class Kind { Exited, Crashed, TimedOut };
    Kind How = Kind::Exited;
    int ExitCode = 0;  // Exited
    int Signal = 0;    // the signal that ended it (Crashed, or TimedOut and then killed)
    double WallSeconds = 0.0;
    long PeakKiB = 0;  // its peak resident memory
};

// Runs tasks in worker processes, at most `jobs` at once, so that a task that crashes or hangs
// costs only itself. Each worker is forked from this (single-threaded) process, runs its body
// and exits with the body's status. Its standard error and its channel (WorkerChannel) come
// back as lines, its standard output as bytes unless it keeps this process's own. A worker
// running past the time limit gets SIGTERM (it cancels its save), and SIGKILL if it is still
// there two seconds later. Workers run in a process group of their own, so a Ctrl-C at the
// terminal reaches only this process, which passes it on (SignalAll) exactly once; a worker
// whose parent dies gets SIGTERM.
class WorkerPool {
public:
    struct Listener {
        virtual ~Listener() = default;
        virtual void OnChannelLine(std::size_t task, const std::string& line) = 0;
        virtual void OnErrorLine(std::size_t task, const std::string& line) = 0;
        virtual void OnOutput(std::size_t task, const std::string& bytes) = 0;
        virtual void OnEnd(std::size_t task, const WorkerEnd& end) = 0;
    };
    // The child's part: gets the channel's file descriptor, returns the exit status.
    using Body = std::function<int(int channelFd)>;

    WorkerPool(int jobs, std::optional<double> timeoutSeconds, Listener& listener);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    bool HasRoom() const { return static_cast<int>(running_.size()) < jobs_; }
    bool Idle() const { return running_.empty(); }
    std::size_t Running() const { return running_.size(); }

    // False (with Error() set) when no process could be started.
    bool Start(std::size_t task, const Body& body, bool keepStdout);
    const std::string& Error() const { return error_; }

    // Waits up to `wait` for anything from the workers, hands it to the listener, enforces the
    // time limit and reaps the workers that ended.
    void Serve(std::chrono::milliseconds wait);
    void SignalAll(int signal);

private:
    using Clock = std::chrono::steady_clock;
    struct Worker {
        std::size_t Task = 0;
        pid_t Pid = -1;
        int Fds[3] = {-1, -1, -1};  // channel, standard error, standard output
        LineCollector Lines[2];
        Clock::time_point Started;
        std::optional<Clock::time_point> KillAt;
        bool TimedOut = false;
        std::optional<WorkerEnd> Ended;  // reaped; waits for its pipes to drain
    };

    [[noreturn]] void RunChild(const Body& body, int channel, int err, int out);
    void Read(Worker& worker, int which);
    void EnforceTimeLimit(Worker& worker, Clock::time_point now);
    void Reap(Worker& worker);

    int jobs_;
    std::optional<double> timeoutSeconds_;
    Listener& listener_;
    std::vector<Worker> running_;
    std::string error_;
};

}  // namespace murmex
