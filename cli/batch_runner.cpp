#include "cli/batch_runner.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "cli/escaped_text.h"
#include "cli/interrupt.h"
#include "cli/output_namer.h"
#include "engine/channel_worker.h"
#include "export/output_path_check.h"
#include "export/output_settings.h"
#include "pipeline/main_thread_queue.h"
#include "source/bass.h"

namespace murmex {

namespace fs = std::filesystem;

namespace {

constexpr auto kServeTurn = std::chrono::milliseconds(50);

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

// The worker's whole life: the audio library (decoding only, so no sound card is needed), one
// task, and its outcome as the exit status.
int RunTask(const CliOptions& options, const FileTask& task, int channelFd) {
    InstallInterruptHandler();
    MainThreadQueue::Instance().BindToCurrentThread();
    if (!BASS_Init(0, 44100, 0, nullptr, nullptr)) {
        std::fputs("murmex-cli: the audio decoding library could not be started\n", stderr);
        return 1;
    }
    int status = 1;
    try {
        WorkerChannel channel(channelFd);
        FileWorker worker(options, channel);
        status = worker.Run(task);
    } catch (const std::exception& e) {
        PrintLine(stderr, "murmex-cli: " + task.Shown + ": " + e.what());
    }
    BASS_Free();
    return status;
}

}  // namespace

BatchRunner::BatchRunner(const CliOptions& options, std::FILE* out, std::FILE* err)
    : options_(options),
      out_(out),
      bar_(!options.Quiet && ::isatty(::fileno(err)) == 1, err),
      report_(options, out),
      pool_(options.Jobs, options.TimeoutSeconds, *this) {
    for (const std::string& input : options.Inputs) {
        FileRecord record;
        record.Input = input;
        record.Shown = input == kStdioName ? "standard input" : input;
        record.Path = input;
        files_.push_back(record);
    }
    reported_.resize(files_.size());
}

int BatchRunner::Run() {
    began_ = std::chrono::steady_clock::now();
    ReadStandardInput();
    if (options_.Info) {
        RunRound({FileTask::Kind::Info, Pending()});
    } else {
        // A name from the tags needs the file read first; -o names the file itself.
        if (options_.OutputFile.empty()) RunRound({FileTask::Kind::Probe, Pending()});
        if (!stopped_ && !Pending().empty() && MakeOutputFolder()) {
            DecideOutputs();
            RefuseStdoutOntoAnInput();
            if (options_.SkipExisting) SkipExisting();
            RunRound({FileTask::Kind::Save, Pending()});
        }
    }
    const char* why = InterruptCount() > 0 ? "interrupted" : "the batch stopped";
    for (std::size_t file : Pending()) {
        Say(file, "murmex-cli: " + files_[file].Shown + ": not started (" + why + ")");
        Settle(file, "cancelled");
    }
    bar_.Finish();
    if (files_.size() > 1 && !options_.Quiet) bar_.Print("murmex-cli: " + TallyLine(files_));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
    if (options_.Json) report_.Summary(files_, wall);
    // As a shell reports a program a signal ended: 130 after Ctrl-C, so a loop around it stops.
    if (InterruptCount() > 0) return 128 + InterruptSignal();
    const bool allDone = std::all_of(files_.begin(), files_.end(), [](const FileRecord& r) {
        return r.Status == "saved" || r.Status == "described" || r.Status == "skipped";
    });
    return allDone ? 0 : 1;
}

void BatchRunner::ReadStandardInput() {
    const auto it = std::find(options_.Inputs.begin(), options_.Inputs.end(), kStdioName);
    if (it == options_.Inputs.end()) return;
    const auto file = static_cast<std::size_t>(it - options_.Inputs.begin());
    spool_ = std::make_unique<StdinSpool>();
    if (!spool_->Fill(STDIN_FILENO)) {
        Say(file, "murmex-cli: standard input: " + spool_->Error());
        Settle(file, spool_->WasInterrupted() ? "cancelled" : "failed");
        return;
    }
    files_[file].Path = spool_->Path();
}

std::vector<std::size_t> BatchRunner::Pending() const {
    std::vector<std::size_t> pending;
    for (std::size_t i = 0; i < files_.size(); ++i)
        if (!files_[i].Ended) pending.push_back(i);
    return pending;
}

void BatchRunner::RunRound(const Round& round) {
    mode_ = round.Mode;
    roundFiles_ = round.Files;
    std::size_t next = 0;
    // After a worker could not start (too many open files or processes), no more start until
    // fewer than this many run.
    std::size_t startBelow = SIZE_MAX;
    for (;;) {
        PassOnInterrupts();
        while (!stopped_ && InterruptCount() == 0 && next < round.Files.size() && pool_.HasRoom() &&
               pool_.Running() < startBelow) {
            if (StartWorker(round.Files[next], round.Mode)) {
                ++next;
                startBelow = SIZE_MAX;
            } else if (pool_.Idle()) {
                Stop(round.Files[next++]);
            } else {
                startBelow = pool_.Running();
            }
        }
        if (pool_.Idle() && (next == round.Files.size() || InterruptCount() > 0 || stopped_)) break;
        pool_.Serve(kServeTurn);
        ShowProgress();
    }
}

// Each interrupt is passed on once, as the signal it came as: the first cancels the saves, a
// second ends them.
void BatchRunner::PassOnInterrupts() {
    for (; interruptsPassed_ < InterruptCount(); ++interruptsPassed_) {
        const int signal = InterruptSignal();
        if (interruptsPassed_ == 0 && signal != SIGINT)
            bar_.Print(std::string("murmex-cli: ") + (signal == SIGHUP ? "hangup" : "terminated") +
                       ": every save is cancelled");
        pool_.SignalAll(signal);
    }
}

// No worker runs and none can start: the files left are not started.
void BatchRunner::Stop(std::size_t file) {
    Say(file, "murmex-cli: " + files_[file].Shown + ": " + pool_.Error() + "; the batch stops");
    Settle(file, "failed");
    stopped_ = true;
}

bool BatchRunner::StartWorker(std::size_t file, FileTask::Kind mode) {
    FileRecord& record = files_[file];
    FileTask task;
    task.Mode = mode;
    task.Input = record.Path;
    task.Shown = record.Shown;
    task.Output = record.Output;
    task.ShowFileLine = files_.size() > 1;
    task.InBatch = files_.size() > 1;
    // A stereo save takes a second core for its second channel when --jobs leaves room for more
    // work than there are files and a core is free for it; -j 1 keeps to one core.
    const auto jobs = static_cast<std::size_t>(options_.Jobs);
    const std::size_t atOnce = std::min(jobs, roundFiles_.size());
    task.ChannelThreads = atOnce < jobs && atOnce < static_cast<std::size_t>(ChannelWorker::UsableCores()) ? 2 : 1;
    reported_[file].clear();
    const CliOptions& options = options_;
    const bool toStdout = mode == FileTask::Kind::Save && record.Output == kStdioName;
    return pool_.Start(file, [&options, task](int channelFd) { return RunTask(options, task, channelFd); }, toStdout);
}

// -d DIR is made as mkdir -p would; when it cannot be, no file can be saved.
bool BatchRunner::MakeOutputFolder() {
    const std::string& folder = options_.OutputDir;
    std::error_code ec;
    if (folder.empty() || fs::is_directory(folder, ec)) return true;
    if (fs::create_directories(folder, ec) && !ec) {
        bar_.Print("murmex-cli: created folder " + folder);
        return true;
    }
    const std::string line = "murmex-cli: " + folder + ": the output folder cannot be made: " +
                             (ec ? ec.message() : "something that is not a folder stands there");
    bar_.Print(line);
    for (std::size_t file : Pending()) {
        files_[file].Messages.push_back(line);
        Settle(file, "failed");
    }
    return false;
}

// A shell's ">> in.wav" makes standard output one of the inputs: it is refused before
// anything is written.
void BatchRunner::RefuseStdoutOntoAnInput() {
    struct stat out {};
    if (!options_.WritesStdout() || ::fstat(::fileno(out_), &out) != 0 || !S_ISREG(out.st_mode)) return;
    for (std::size_t file : Pending()) {
        struct stat in {};
        if (::stat(files_[file].Path.c_str(), &in) != 0 || in.st_dev != out.st_dev || in.st_ino != out.st_ino) continue;
        Say(file, "murmex-cli: standard output: it is " + files_[file].Shown + " itself; I cannot write origin file!");
        Settle(file, "failed");
    }
}

// In the order of the inputs, before any save starts: two inputs never get one output file.
void BatchRunner::DecideOutputs() {
    OutputSettings settings;
    settings.SelectFormat(options_.Format);
    const std::string extension = settings.FormatExtension();
    std::vector<std::string> paths;
    for (const FileRecord& record : files_) paths.push_back(record.Path);
    OutputNamer namer(paths);
    for (std::size_t file : Pending()) {
        FileRecord& record = files_[file];
        if (options_.WritesStdout()) {
            record.Output = kStdioName;
        } else if (!options_.OutputFile.empty()) {
            record.Output = OutputPathFor(options_.OutputFile, extension);
        } else {
            fs::path folder = !options_.OutputDir.empty() ? fs::path(options_.OutputDir)
                              : record.Input == kStdioName ? fs::path()
                                                           : fs::path(record.Path).parent_path();
            if (folder.empty()) folder = fs::current_path();
            record.Output = OutputPathFor(namer.InFolder(folder.string(), record.Suggested, record.Path, extension),
                                          extension);
        }
    }
}

void BatchRunner::SkipExisting() {
    for (std::size_t file : Pending()) {
        const FileRecord& record = files_[file];
        if (record.Output == kStdioName || !StatFile(record.Output).Exists) continue;
        Say(file, "murmex-cli: " + record.Output + ": exists; skipped (--skip-existing)");
        Settle(file, "skipped");
    }
}

void BatchRunner::Settle(std::size_t file, const std::string& status) {
    files_[file].Status = status;
    files_[file].Ended = true;
    EmitFinished();
}

void BatchRunner::Say(std::size_t file, const std::string& line) {
    bar_.Print(line);
    files_[file].Messages.push_back(line);
}

// What goes to standard output follows the order of the inputs, whatever order the workers
// end in.
void BatchRunner::EmitFinished() {
    for (; nextEmitted_ < files_.size() && files_[nextEmitted_].Ended; ++nextEmitted_) {
        const FileRecord& record = files_[nextEmitted_];
        if (!record.Printed.empty()) {
            std::fwrite(record.Printed.data(), 1, record.Printed.size(), out_);
            std::fflush(out_);
        }
        if (options_.Json) report_.File(record);
    }
}

void BatchRunner::ShowProgress() {
    if (mode_ != FileTask::Kind::Save || roundFiles_.empty()) return;
    long sum = 0;
    std::size_t ended = 0;
    for (std::size_t file : roundFiles_) {
        const FileRecord& record = files_[file];
        sum += record.Ended ? 1000 : std::clamp(record.PerMille, 0, 1000);
        ended += record.Ended ? 1 : 0;
    }
    const auto count = static_cast<long>(roundFiles_.size());
    const std::string label = count == 1 ? files_[roundFiles_[0]].Output
                                         : std::to_string(ended) + "/" + std::to_string(count) + " files";
    bar_.Show(static_cast<int>(sum / count), label);
}

void BatchRunner::OnChannelLine(std::size_t file, const std::string& line) {
    const nlohmann::json message = nlohmann::json::parse(line, nullptr, false);
    if (!message.is_object()) return;
    FileRecord& record = files_[file];
    if (message.contains("progress") && message["progress"].is_number_integer())
        record.PerMille = message["progress"].get<int>();
    if (message.contains("seconds") && message["seconds"].is_number()) record.Seconds = message["seconds"].get<double>();
    if (message.contains("suggested") && message["suggested"].is_string()) {
        record.Suggested = message["suggested"].get<std::string>();
        reported_[file] = "probed";
    }
    if (message.contains("status") && message["status"].is_string()) reported_[file] = message["status"].get<std::string>();
    const auto path = [&message](const char* key) {
        return message.contains(key) && message[key].is_string() ? UnescapedBytes(message[key].get<std::string>()) : "";
    };
    if (message.contains("scratch")) record.Scratch = path("scratch");
    if (message.contains("scratch_folder")) record.ScratchFolder = path("scratch_folder");
    if (message.contains("partial")) record.Partial = path("partial");
}

// What a worker that ended before its save did left behind: a scratch folder goes, a scratch
// file is kept as the output's partial file, under a name nothing takes for a finished one.
void BatchRunner::ClearUp(std::size_t file) {
    FileRecord& record = files_[file];
    std::error_code ec;
    if (!record.ScratchFolder.empty()) fs::remove_all(record.ScratchFolder, ec);
    if (!record.Scratch.empty() && NameTaken(record.Scratch)) {
        const std::string partial = PartialPathFor(record.Output);
        fs::rename(record.Scratch, partial, ec);
        if (ec) {
            Say(file, "murmex-cli: " + record.Output + ": incomplete; what was written stays in " + record.Scratch +
                          " (" + ec.message() + ")");
            record.Partial = record.Scratch;
        } else {
            Say(file, "murmex-cli: " + record.Output + ": incomplete; what was written is kept as " + partial);
            record.Partial = partial;
        }
    }
    record.Scratch.clear();
    record.ScratchFolder.clear();
}

void BatchRunner::OnErrorLine(std::size_t file, const std::string& line) { Say(file, line); }

void BatchRunner::OnOutput(std::size_t file, const std::string& bytes) { files_[file].Printed += bytes; }

void BatchRunner::OnEnd(std::size_t file, const WorkerEnd& end) {
    FileRecord& record = files_[file];
    record.WallSeconds += end.WallSeconds;
    record.PeakKiB = std::max(record.PeakKiB, end.PeakKiB);
    const std::string& reported = reported_[file];
    if (end.How == WorkerEnd::Kind::Crashed)
        Say(file, "murmex-cli: " + record.Shown + ": crashed with signal " + std::to_string(end.Signal));
    if (end.How == WorkerEnd::Kind::TimedOut)
        Say(file, "murmex-cli: " + record.Shown + ": timed out after " + Seconds(*options_.TimeoutSeconds) + " s");
    ClearUp(file);
    if (end.How != WorkerEnd::Kind::Exited) return Settle(file, "failed");
    if (mode_ == FileTask::Kind::Probe && end.ExitCode == 0 && reported == "probed") return;  // on to the save
    // A file kept as a partial one is not finished, whatever stopped it.
    const bool ended = reported == "saved" || reported == "described" || reported == "cancelled";
    Settle(file, ended && record.Partial.empty() && (end.ExitCode == 0 || reported == "cancelled") ? reported : "failed");
}

}  // namespace murmex
