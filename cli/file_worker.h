#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "cli/cli_host.h"
#include "cli/cli_options.h"
#include "cli/worker_channel.h"
#include "export/save_session.h"

namespace murmex {

// One input, as a worker process handles it.
struct FileTask {
    enum class Kind {
        Probe,  // load it and tell the suggested name and the length; save nothing
        Info,   // print the source details
        Save,   // save it to Output
    };
    Kind Mode = Kind::Save;
    std::string Input;   // the file to load (for standard input: the copy of it)
    std::string Shown;   // the input as the messages name it
    std::string Output;  // Save: the file to write; "-" is standard output
    bool ShowFileLine = false;  // Info: start with "file: <input>" (several inputs)
    bool InBatch = false;       // Save: one of several inputs
    int ChannelThreads = 1;     // Save: threads a stereo file's engine may use
};

// Runs one task on the window's own load and save code. The audio library must be initialised
// (without output) and the main-thread queue bound to the calling thread. Messages go to `err`
// as lines "murmex-cli: <file>: <reason>"; progress and the outcome go to the parent through
// `channel`.
class FileWorker {
public:
    FileWorker(const CliOptions& options, WorkerChannel& channel, std::FILE* out = stdout, std::FILE* err = stderr);
    // The exit status: 0 when the task was done, 1 when it failed or was cancelled.
    int Run(const FileTask& task);

private:
    enum class Outcome { Done, Failed, Cancelled };

    bool Load();
    void PrintInfo();
    void ApplyOutputChoice();
    Outcome Save();
    Outcome SaveToStdout();
    Outcome WaitForSave(const std::function<bool()>& pump);
    Outcome Conclude(const std::string& shownOutput);
    void ReportResampling(const std::string& output);
    double SourceSeconds() const;
    void Error(const std::string& subject, const std::string& text);

    const CliOptions& options_;
    WorkerChannel& channel_;
    std::FILE* out_;
    std::FILE* err_;
    FileTask task_;
    CliHost host_;
    SaveSession session_{host_};
};

}  // namespace murmex
