#pragma once
// Runs the murmex-cli program as a child process and collects what it printed.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace murmex::testing {

struct CliResult {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

// Where and how the program is started.
struct CliLaunch {
    std::string Folder;      // working folder; empty: the test's own
    std::string ShellSetup;  // shell commands run before the program (limits, traps); empty: none
};

class CliProcess {
public:
    explicit CliProcess(const std::vector<std::string>& args, const CliLaunch& launch = {}) {
        int out[2], err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        if (!launch.Folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, launch.Folder.c_str());
        // Nothing else of the test's: a limit on open files then means the same in every test.
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        // With a setup, a shell runs it and then replaces itself by the program ("$0").
        std::vector<std::string> all;
        if (!launch.ShellSetup.empty()) all = {"/bin/sh", "-c", launch.ShellSetup + "; exec \"$0\" \"$@\""};
        all.push_back(MURMEX_CLI_PATH);
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, all[0].c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        outFd_ = out[0];
        errFd_ = err[0];
    }

    void Signal(int sig) { ::kill(pid_, sig); }
    pid_t Pid() const { return pid_; }

    // Reads both pipes to their end, then reaps the child.
    CliResult Wait() {
        CliResult result;
        ReadAll(errFd_, result.Err);
        ReadAll(outFd_, result.Out);
        int status = 0;
        if (pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status)) {
            result.ExitCode = WEXITSTATUS(status);
        }
        return result;
    }

private:
    static void ReadAll(int fd, std::string& into) {
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) into.append(buffer, static_cast<size_t>(n));
        ::close(fd);
    }

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
};

// Runs a shell command line; returns its exit status (-1 when it did not exit) and what it
// wrote to standard output.
inline int RunShell(const std::string& command, std::string& out) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[65536];
    out.clear();
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The entries of `folder` whose names start with `prefix` and that hold `minBytes` or more.
inline std::vector<std::filesystem::path> Entries(const std::filesystem::path& folder, const std::string& prefix,
                                                  std::uintmax_t minBytes = 0) {
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0 && (minBytes == 0 || (entry.file_size(ec) >= minBytes && !ec)))
            found.push_back(entry.path());
    }
    return found;
}

// Waits (20 s at most) until `count` such entries stand there; false when they did not come.
inline bool WaitForEntries(const std::filesystem::path& folder, const std::string& prefix, std::size_t count = 1,
                           std::uintmax_t minBytes = 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Entries(folder, prefix, minBytes).size() < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A save writes a scratch file ".murmex-..." beside its output until it is complete: `count`
// saves are under way once as many hold 64 KiB of audio.
inline bool WaitForSaves(const std::filesystem::path& folder, std::size_t count = 1) {
    return WaitForEntries(folder, ".murmex-", count, std::uintmax_t{64} << 10);
}

inline CliResult RunCli(const std::vector<std::string>& args, const CliLaunch& launch = {}) {
    return CliProcess(args, launch).Wait();
}

}  // namespace murmex::testing
