#include "tests/hostile/child_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace murmex::testing {

std::string ChildOutcome::Describe() const {
    std::string how;
    if (KilledAtLimit) {
        how = "killed at the wall-clock limit";
    } else if (Signal != 0) {
        how = std::string("ended by signal ") + ::strsignal(Signal);
    } else {
        how = "exit status " + std::to_string(ExitCode);
    }
    return how + " after " + std::to_string(Elapsed.count()) + " ms, peak RSS " + std::to_string(PeakRssKiB) +
           " KiB; stderr:\n" + Err;
}

ChildRun::ChildRun(const std::string& program, const std::vector<std::string>& args, ChildLimits limits) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return;
    }
    // Everything the child needs is prepared before the fork: after it only async-signal-safe
    // calls are allowed, since the test process may run threads.
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const rlimit addressSpace{limits.AddressSpaceBytes, limits.AddressSpaceBytes};
    const rlimit fileSize{limits.FileSizeBytes, limits.FileSizeBytes};

    started_ = std::chrono::steady_clock::now();
    deadline_ = started_ + limits.WallClock;
    pid_ = ::fork();
    if (pid_ == 0) {
        if (addressSpace.rlim_cur != 0) ::setrlimit(RLIMIT_AS, &addressSpace);
        if (fileSize.rlim_cur != 0) {
            // The write then fails with EFBIG instead of the signal ending the program.
            ::signal(SIGXFSZ, SIG_IGN);
            ::setrlimit(RLIMIT_FSIZE, &fileSize);
        }
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    if (pid_ < 0) {
        ::close(out[0]);
        ::close(err[0]);
        return;
    }
    outFd_ = out[0];
    errFd_ = err[0];
}

ChildRun::~ChildRun() {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (outFd_ >= 0) ::close(outFd_);
    if (errFd_ >= 0) ::close(errFd_);
}

void ChildRun::Reap(int status, long peakRssKiB) {
    reaped_ = true;
    outcome_.Elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_);
    outcome_.PeakRssKiB = peakRssKiB;
    if (WIFEXITED(status)) outcome_.ExitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) outcome_.Signal = WTERMSIG(status);
}

bool ChildRun::Ended() {
    if (pid_ <= 0 || reaped_) return true;
    int status = 0;
    rusage usage{};
    if (::wait4(pid_, &status, WNOHANG, &usage) == pid_) Reap(status, usage.ru_maxrss);
    return reaped_;
}

void ChildRun::Pause() {
    if (pid_ <= 0 || reaped_) return;
    ::kill(pid_, SIGSTOP);
    // Waits until it has really stopped (or has ended meanwhile, which reaps it).
    int status = 0;
    rusage usage{};
    if (::wait4(pid_, &status, WUNTRACED, &usage) == pid_ && !WIFSTOPPED(status)) Reap(status, usage.ru_maxrss);
}

void ChildRun::Resume() {
    if (pid_ > 0 && !reaped_) ::kill(pid_, SIGCONT);
}

// Reads whatever the pipes hold, waiting at most timeoutMs for something to arrive.
void ChildRun::Collect(int timeoutMs) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) <= 0) return;
    std::string* into[2] = {&outcome_.Out, &outcome_.Err};
    int* owned[2] = {&outFd_, &errFd_};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            into[i]->append(buffer, static_cast<size_t>(n));
        } else {
            ::close(*owned[i]);
            *owned[i] = -1;
        }
    }
}

ChildOutcome ChildRun::Wait() {
    if (pid_ <= 0) return outcome_;
    // Pipes stay open as long as the child (or anything it started) holds them.
    while (outFd_ >= 0 || errFd_ >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            if (!reaped_) {
                outcome_.KilledAtLimit = true;
                ::kill(pid_, SIGKILL);
            }
            break;
        }
        Collect(static_cast<int>(std::min<long>(left.count(), 100)));
    }
    if (!reaped_) {
        int status = 0;
        rusage usage{};
        if (::wait4(pid_, &status, 0, &usage) == pid_) Reap(status, usage.ru_maxrss);
    }
    return outcome_;
}

}  // namespace murmex::testing
