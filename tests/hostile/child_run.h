#pragma once
// Runs murmex-cli in a child process under a wall-clock limit and an address-space limit, and
// reports how it ended: exit status or signal, whether it had to be killed, its peak memory and
// what it printed. A running child can be paused and resumed, so that a fault can be injected
// at a known point of a save.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace murmex::testing {

struct ChildLimits {
    std::chrono::seconds WallClock{20};
    uint64_t AddressSpaceBytes = 2ull << 30;  // 0: no limit
    // Writes beyond this size fail (EFBIG) as on a full disk; 0: no limit.
    uint64_t FileSizeBytes = 0;
};

struct ChildOutcome {
    int ExitCode = -1;      // -1 when the child did not exit normally
    int Signal = 0;         // the signal that ended it, 0 when it exited
    bool KilledAtLimit = false;
    long PeakRssKiB = 0;
    std::chrono::milliseconds Elapsed{0};
    std::string Out;
    std::string Err;
    // For test messages: how it ended, with its stderr.
    std::string Describe() const;
};

class ChildRun {
public:
    ChildRun(const std::string& program, const std::vector<std::string>& args, ChildLimits limits = {});
    ~ChildRun();
    ChildRun(const ChildRun&) = delete;
    ChildRun& operator=(const ChildRun&) = delete;

    bool Started() const { return pid_ > 0; }
    // True once the child has ended; it is then reaped and Wait() returns at once.
    bool Ended();
    void Pause();
    void Resume();
    // Collects the output until the child ends (killing it at the wall-clock limit) and reaps it.
    ChildOutcome Wait();

private:
    void Collect(int timeoutMs);
    void Reap(int status, long peakRssKiB);

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    bool reaped_ = false;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point deadline_;
    ChildOutcome outcome_;
};

}  // namespace murmex::testing
