#include "cli/worker_pool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace murmex {

namespace {

constexpr auto kKillGrace = std::chrono::seconds(2);

}  // namespace

WorkerPool::WorkerPool(int jobs, std::optional<double> timeoutSeconds, Listener& listener)
    : jobs_(jobs), timeoutSeconds_(timeoutSeconds), listener_(listener) {}

WorkerPool::~WorkerPool() {
    // Only reached early by an exception: no worker is left behind.
    for (Worker& worker : running_) {
        if (!worker.Ended) ::kill(worker.Pid, SIGKILL);
        if (!worker.Ended) ::waitpid(worker.Pid, nullptr, 0);
        for (int fd : worker.Fds)
            if (fd >= 0) ::close(fd);
    }
}

bool WorkerPool::Start(std::size_t task, const Body& body, bool keepStdout) {
    int pipes[3][2];
    int made = 0;
    for (; made < (keepStdout ? 2 : 3); ++made) {
        if (::pipe2(pipes[made], O_CLOEXEC) != 0) {
            error_ = std::string("cannot make a pipe for a worker: ") + std::strerror(errno);
            for (int i = 0; i < made; ++i) ::close(pipes[i][0]), ::close(pipes[i][1]);
            return false;
        }
    }
    // What is buffered here would otherwise be written again by the child.
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        error_ = std::string("cannot start a worker: ") + std::strerror(errno);
        for (int i = 0; i < made; ++i) ::close(pipes[i][0]), ::close(pipes[i][1]);
        return false;
    }
    if (pid == 0) {
        for (int i = 0; i < made; ++i) ::close(pipes[i][0]);
        RunChild(body, pipes[0][1], pipes[1][1], keepStdout ? -1 : pipes[2][1]);
    }
    // Both sides set the group, so it is in place before either relies on it.
    ::setpgid(pid, pid);
    Worker worker;
    worker.Task = task;
    worker.Pid = pid;
    worker.Started = Clock::now();
    for (int i = 0; i < made; ++i) {
        ::close(pipes[i][1]);
        worker.Fds[i] = pipes[i][0];
    }
    running_.push_back(std::move(worker));
    return true;
}

void WorkerPool::RunChild(const Body& body, int channel, int err, int out) {
    const pid_t parent = ::getppid();
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(1);
    // The pipes of the other workers are theirs to close.
    for (const Worker& other : running_)
        for (int fd : other.Fds)
            if (fd >= 0) ::close(fd);
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
    // A reader that goes away is an error the worker reports, not a reason to die silently.
    ::signal(SIGPIPE, SIG_IGN);
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (devNull >= 0) {
        ::dup2(devNull, STDIN_FILENO);
        ::close(devNull);
    }
    ::dup2(err, STDERR_FILENO);
    ::close(err);
    if (out >= 0) {
        ::dup2(out, STDOUT_FILENO);
        ::close(out);
    }
    const int status = body(channel);
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(status);
}

void WorkerPool::Serve(std::chrono::milliseconds wait) {
    std::vector<pollfd> fds;
    std::vector<std::pair<std::size_t, int>> owners;
    for (std::size_t w = 0; w < running_.size(); ++w) {
        for (int i = 0; i < 3; ++i) {
            if (running_[w].Fds[i] < 0) continue;
            fds.push_back({running_[w].Fds[i], POLLIN, 0});
            owners.emplace_back(w, i);
        }
    }
    // A worker whose pipes are all closed is exiting: it is looked at again within a millisecond
    // rather than after a whole turn, which would add to every file's time.
    const bool exiting = std::any_of(running_.begin(), running_.end(), [](const Worker& w) {
        return !w.Ended && w.Fds[0] < 0 && w.Fds[1] < 0 && w.Fds[2] < 0;
    });
    const int ready = ::poll(fds.data(), fds.size(), exiting ? 1 : static_cast<int>(wait.count()));
    if (ready > 0) {
        for (std::size_t k = 0; k < fds.size(); ++k)
            if (fds[k].revents != 0) Read(running_[owners[k].first], owners[k].second);
    }
    const auto now = Clock::now();
    for (Worker& worker : running_) {
        EnforceTimeLimit(worker, now);
        Reap(worker);
    }
    for (std::size_t w = 0; w < running_.size();) {
        Worker& worker = running_[w];
        const bool drained = worker.Fds[0] < 0 && worker.Fds[1] < 0 && worker.Fds[2] < 0;
        if (!worker.Ended || !drained) {
            ++w;
            continue;
        }
        const std::size_t task = worker.Task;
        const WorkerEnd end = *worker.Ended;
        running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(w));
        listener_.OnEnd(task, end);
    }
}

void WorkerPool::Read(Worker& worker, int which) {
    char buffer[8192];
    const ssize_t n = ::read(worker.Fds[which], buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    const std::size_t task = worker.Task;
    if (n <= 0) {
        ::close(worker.Fds[which]);
        worker.Fds[which] = -1;
        if (which == 0) worker.Lines[0].Flush([&](const std::string& line) { listener_.OnChannelLine(task, line); });
        if (which == 1) worker.Lines[1].Flush([&](const std::string& line) { listener_.OnErrorLine(task, line); });
        return;
    }
    const auto size = static_cast<std::size_t>(n);
    if (which == 0) worker.Lines[0].Add(buffer, size, [&](const std::string& line) { listener_.OnChannelLine(task, line); });
    if (which == 1) worker.Lines[1].Add(buffer, size, [&](const std::string& line) { listener_.OnErrorLine(task, line); });
    if (which == 2) listener_.OnOutput(task, std::string(buffer, size));
}

void WorkerPool::EnforceTimeLimit(Worker& worker, Clock::time_point now) {
    if (worker.Ended || !timeoutSeconds_) return;
    if (!worker.TimedOut && now - worker.Started >= std::chrono::duration<double>(*timeoutSeconds_)) {
        worker.TimedOut = true;
        worker.KillAt = now + kKillGrace;
        ::kill(worker.Pid, SIGTERM);
    } else if (worker.KillAt && now >= *worker.KillAt) {
        worker.KillAt.reset();
        ::kill(worker.Pid, SIGKILL);
    }
}

void WorkerPool::Reap(Worker& worker) {
    if (worker.Ended) return;
    int status = 0;
    rusage usage {};
    if (::wait4(worker.Pid, &status, WNOHANG, &usage) != worker.Pid) return;
    WorkerEnd end;
    end.WallSeconds = std::chrono::duration<double>(Clock::now() - worker.Started).count();
    end.PeakKiB = usage.ru_maxrss;
    if (WIFSIGNALED(status)) {
        end.How = WorkerEnd::Kind::Crashed;
        end.Signal = WTERMSIG(status);
    } else {
        end.ExitCode = WEXITSTATUS(status);
    }
    // Whether it then ended by itself or was killed (Signal), the time limit is the reason.
    if (worker.TimedOut) end.How = WorkerEnd::Kind::TimedOut;
    worker.Ended = end;
}

void WorkerPool::SignalAll(int signal) {
    for (const Worker& worker : running_)
        if (!worker.Ended) ::kill(worker.Pid, signal);
}

}  // namespace murmex
