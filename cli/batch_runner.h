#pragma once

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/batch_report.h"
#include "cli/cli_options.h"
#include "cli/file_worker.h"
#include "cli/progress_bar.h"
#include "cli/stdin_spool.h"
#include "cli/worker_pool.h"
#include "pipeline/file_state.h"

namespace murmex {

// murmex-cli's parent process: owns the terminal and schedules the work; every file is
// loaded, described or saved by a worker process of its own (FileWorker), at most --jobs at
// once. With -d or without -o, a first round of probes reads each input's tags and length, so
// that every output name is decided before any save starts. Ctrl-C cancels every save; the
// files not yet started are reported as cancelled. A worker that ends before its save does
// leaves its file as the output's partial file (PartialPathFor), never under the output's name.
class BatchRunner : private WorkerPool::Listener {
public:
    BatchRunner(const CliOptions& options, std::FILE* out = stdout, std::FILE* err = stderr);
    // The exit status: 0 when every input was handled, 1 when any failed or was cancelled,
    // 128 + the signal when one interrupted the batch (130 for Ctrl-C).
    int Run();

private:
    struct Round {
        FileTask::Kind Mode;
        std::vector<std::size_t> Files;
    };

    // Input "-": its copy becomes the file the workers load.
    void ReadStandardInput();
    void RunRound(const Round& round);
    void PassOnInterrupts();
    bool StartWorker(std::size_t file, FileTask::Kind mode);
    void Stop(std::size_t file);
    bool MakeOutputFolder();
    void DecideOutputs();
    void RefuseStdoutOntoAnInput();
    void SkipExisting();
    std::vector<std::size_t> Pending() const;
    void Settle(std::size_t file, const std::string& status);
    void Say(std::size_t file, const std::string& line);
    void EmitFinished();
    void ShowProgress();
    void ClearUp(std::size_t file);

    void OnChannelLine(std::size_t file, const std::string& line) override;
    void OnErrorLine(std::size_t file, const std::string& line) override;
    void OnOutput(std::size_t file, const std::string& bytes) override;
    void OnEnd(std::size_t file, const WorkerEnd& end) override;

    const CliOptions& options_;
    std::FILE* out_;
    std::vector<FileRecord> files_;
    std::vector<std::string> reported_;    // the status each file's worker last reported
    std::vector<std::size_t> roundFiles_;
    FileTask::Kind mode_ = FileTask::Kind::Save;
    std::unique_ptr<StdinSpool> spool_;
    ProgressBar bar_;
    BatchReport report_;
    WorkerPool pool_;
    std::size_t nextEmitted_ = 0;
    int interruptsPassed_ = 0;
    bool stopped_ = false;  // no worker could start while none ran
    std::chrono::steady_clock::time_point began_;
};

}  // namespace murmex
