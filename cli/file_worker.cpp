#include "cli/file_worker.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "cli/escaped_text.h"
#include "cli/interrupt.h"
#include "cli/stdout_relay.h"
#include "export/output_bitrate_note.h"
#include "export/output_path_check.h"
#include "pipeline/main_thread_queue.h"

namespace murmex {

namespace fs = std::filesystem;

FileWorker::FileWorker(const CliOptions& options, WorkerChannel& channel, std::FILE* out, std::FILE* err)
    : options_(options),
      channel_(channel),
      out_(out),
      err_(err),
      host_(options.Force, [&channel](int perMille) { channel.Progress(perMille); }, err) {
    SetBiasPosition(options.BiasDb, session_.Options);
    SetReductionPosition(options.Reduction, session_.Options);
    session_.Options.DetailAmplifier = options.Detail;
    session_.Options.DcOffsetCorrection = options.DcOffset;
    session_.Options.CaptureMinima = options.CaptureMinima;
    session_.Options.Method = options.Method;
    session_.Driver.SetSaveMode(options.Save);
    session_.Settings.SelectFormat(options.Format);
}

int FileWorker::Run(const FileTask& task) {
    task_ = task;
    session_.Driver.SetChannelThreads(task_.ChannelThreads);
    if (!Load()) {
        channel_.Finished("failed", 0.0);
        return 1;
    }
    switch (task_.Mode) {
        case FileTask::Kind::Probe:
            channel_.Probed(session_.Loader.SuggestedName(), SourceSeconds());
            return 0;
        case FileTask::Kind::Info:
            PrintInfo();
            channel_.Finished("described", SourceSeconds());
            return 0;
        case FileTask::Kind::Save: break;
    }
    const bool toStdout = task_.Output == kStdioName;
    const Outcome outcome = toStdout ? SaveToStdout() : Save();
    // A file kept beside the output rather than under its name.
    const ExportDriver& driver = session_.Driver;
    const std::string partial = !toStdout && driver.KeptFileName() != driver.OutputFileName() ? driver.KeptFileName() : "";
    channel_.Finished(outcome == Outcome::Done ? "saved" : outcome == Outcome::Cancelled ? "cancelled" : "failed",
                      SourceSeconds(), partial);
    return outcome == Outcome::Done ? 0 : 1;
}

bool FileWorker::Load() {
    std::error_code ec;
    if (!fs::is_regular_file(task_.Input, ec)) {
        Error(task_.Shown, fs::exists(task_.Input, ec) ? "not a regular file" : "no such file");
        return false;
    }
    const LoadResult result = session_.Loader.Load(task_.Input);
    for (const std::string& message : result.Messages) Error(task_.Shown, message);
    switch (result.Outcome) {
        case LoadOutcome::Loaded: return true;
        case LoadOutcome::NotLoaded: Error(task_.Shown, result.Info.Label1); return false;
        case LoadOutcome::TooManyChannels:
        case LoadOutcome::InvalidFile: return false;
    }
    return false;
}

double FileWorker::SourceSeconds() const {
    const SourceInfo& info = session_.Loader.Info();
    return info.LengthBytes > 0 ? info.Seconds(info.LengthBytes) : 0.0;
}

void FileWorker::PrintInfo() {
    const InfoLine& info = session_.Loader.CurrentInfoLine();
    const OutputSettings& settings = session_.Settings;
    if (task_.ShowFileLine) PrintLine(out_, "file: " + task_.Shown);
    std::fprintf(out_, "format: %s\n", info.Ind1.c_str());
    std::fprintf(out_, "rate: %s\n", info.Ind2.c_str());
    std::fprintf(out_, "channels: %s\n", info.Ind3.c_str());
    std::fprintf(out_, "bitrate: %s\n", info.IndRate.c_str());
    std::fprintf(out_, "output kbps: mp3 %s, ogg %s, wma %s\n", settings.Mp3Kbps().c_str(),
                 settings.OggKbps().c_str(), settings.WmaKbps().c_str());
    std::fprintf(out_, "wav kbps: %s\n", settings.WavKbps().c_str());
    PrintLine(out_, "suggested name: " + session_.Loader.SuggestedName());
    if (task_.ShowFileLine) std::fputc('\n', out_);
}

// Loading resets the bitrate texts from the source, so the user's choice is applied after it.
void FileWorker::ApplyOutputChoice() {
    OutputSettings& settings = session_.Settings;
    settings.SetVbr(options_.VbrQuality.has_value());
    if (options_.VbrQuality) settings.SetQuality(*options_.VbrQuality);
    if (options_.Kbps) settings.SetKbps(*options_.Kbps);
}

FileWorker::Outcome FileWorker::Save() {
    ApplyOutputChoice();
    // The messages name the file written, whose extension is the format's.
    const std::string output = OutputPathFor(task_.Output, session_.Settings.FormatExtension());
    host_.BeginFile(output, output);
    if (!session_.StartSave(output)) return Outcome::Failed;
    // Should this process end before the save does, the parent knows what it left.
    channel_.ScratchFile(session_.Driver.ScratchFileName());
    const Outcome waited = WaitForSave([] { return true; });
    return waited == Outcome::Done ? Conclude(output) : waited;
}

// The WAV writer needs a file it can seek in: it writes a scratch file, which is streamed to
// standard output as it grows.
FileWorker::Outcome FileWorker::SaveToStdout() {
    ApplyOutputChoice();
    const char* shown = "standard output";
    std::string folder = (fs::temp_directory_path() / "murmex-stdout-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        Error(folder, std::strerror(errno));
        return Outcome::Failed;
    }
    channel_.ScratchFolder(folder);
    const std::string scratch = folder + "/stdout.wav";
    host_.BeginFile(scratch, shown);
    Outcome outcome = Outcome::Failed;
    if (session_.StartSave(scratch)) {
        // The writer writes a file of its own beside the scratch name until the save ends.
        StdoutRelay relay(session_.Driver.ScratchFileName(), ::fileno(out_));
        std::fflush(out_);
        outcome = WaitForSave([&relay] { return relay.Pump(); });
        // The writer has finished: the last bytes follow.
        if (relay.Pump() && outcome == Outcome::Done) outcome = Conclude(shown);
        if (!relay.Error().empty()) {
            Error(shown, relay.Error());
            outcome = Outcome::Failed;
        }
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    return outcome;
}

// Serves the save until it has ended; `pump` runs every turn and cancels the save when it
// returns false. Done means the save ended by itself (saved or failed: see Conclude).
FileWorker::Outcome FileWorker::WaitForSave(const std::function<bool()>& pump) {
    ExportDriver& driver = session_.Driver;
    auto& queue = MainThreadQueue::Instance();
    bool cancelSent = false;
    bool pumpFailed = false;
    while (driver.Exporting()) {
        queue.WaitAndDrain(std::chrono::milliseconds(20));
        if (!pumpFailed && !pump()) pumpFailed = true;
        if (!cancelSent && (Interrupted() || pumpFailed)) {
            // Only a single save stopped by Ctrl-C keeps its file under the chosen name; in a
            // batch, on a time limit or a closed terminal nothing may take it for finished.
            driver.SetPartialOnCancel(task_.Output != kStdioName && (task_.InBatch || InterruptSignal() != SIGINT));
            driver.Cancel();
            host_.MarkCancelled();
            cancelSent = true;
        }
    }
    if (pumpFailed) return Outcome::Failed;
    if (driver.Outcome() == ExportOutcome::Cancelled) {
        const double seconds = BASS_ChannelBytes2Seconds(session_.Loader.DecodeStream(),
                                                         static_cast<uint64_t>(driver.DecodedTotal()));
        const std::string output = task_.Output == kStdioName ? "standard output" : driver.KeptFileName();
        char held[64];
        std::snprintf(held, sizeof held, "%.1f", seconds);
        PrintLine(err_, "murmex-cli: cancelled: " + output + " is a valid file holding the first " + held + " s of " +
                            task_.Shown);
        return Outcome::Cancelled;
    }
    return Outcome::Done;
}

FileWorker::Outcome FileWorker::Conclude(const std::string& shownOutput) {
    const ExportDriver& driver = session_.Driver;
    switch (driver.Outcome()) {
        case ExportOutcome::Saved:
            if (!options_.Quiet) PrintLine(err_, task_.Shown + " -> " + shownOutput);
            ReportResampling(shownOutput);
            // Said even with --quiet, as the resampling is: the file is not what was asked for.
            if (const auto note = OutputBitrateNote(session_.Settings, session_.Loader.Info().SampleRate))
                Error(shownOutput, *note);
            return Outcome::Done;
        case ExportOutcome::Failed: return Outcome::Failed;
        case ExportOutcome::Cancelled: return Outcome::Cancelled;
        case ExportOutcome::SourceEndedEarly:  // said by the driver; the shorter file is valid
        case ExportOutcome::None:
        case ExportOutcome::Running:
            break;
    }
    return Outcome::Failed;
}

// Said even with --quiet: the file does not have the source's rate.
void FileWorker::ReportResampling(const std::string& output) {
    const unsigned rate = session_.Driver.ResampledTo();
    if (rate == 0) return;
    PrintLine(err_, "murmex-cli: " + output + ": resampled from " + std::to_string(session_.Loader.Info().SampleRate) +
                        " Hz to " + std::to_string(rate) + " Hz");
}

void FileWorker::Error(const std::string& subject, const std::string& text) {
    PrintLine(err_, "murmex-cli: " + subject + ": " + text);
}

}  // namespace murmex
