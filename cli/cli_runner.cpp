#include "cli/cli_runner.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "cli/interrupt.h"
#include "export/output_path_check.h"
#include "pipeline/main_thread_queue.h"

namespace murmex {

namespace fs = std::filesystem;

CliRunner::CliRunner(const CliOptions& options, std::FILE* out, std::FILE* err)
    : options_(options),
      out_(out),
      err_(err),
      host_(options.Force, !options.Quiet && ::isatty(::fileno(err)) == 1, err),
      namer_(options.Inputs) {
    SetBiasPosition(options.BiasDb, processing_);
    SetReductionPosition(options.Reduction, processing_);
    processing_.DetailAmplifier = options.Detail;
    processing_.DcOffsetCorrection = options.DcOffset;
    processing_.CaptureMinima = options.CaptureMinima;
    processing_.Method = options.Method;
    driver_.SetSaveMode(options.Save);
    settings_.SelectFormat(options.Format);
}

int CliRunner::Run() {
    bool anyFailed = false;
    for (const std::string& input : options_.Inputs) {
        const Outcome outcome = ProcessInput(input);
        if (outcome != Outcome::Done) anyFailed = true;
        if (outcome == Outcome::Cancelled) break;
    }
    return anyFailed ? 1 : 0;
}

CliRunner::Outcome CliRunner::ProcessInput(const std::string& input) {
    if (Interrupted()) return Outcome::Cancelled;
    if (!LoadInput(input)) return Outcome::Failed;
    if (options_.Info) {
        PrintInfo(input);
        return Outcome::Done;
    }
    return SaveInput(input);
}

bool CliRunner::LoadInput(const std::string& input) {
    std::error_code ec;
    if (!fs::is_regular_file(input, ec)) {
        Error(input, fs::exists(input, ec) ? "not a regular file" : "no such file");
        return false;
    }
    const LoadResult result = loader_.Load(input);
    for (const std::string& message : result.Messages) Error(input, message);
    switch (result.Outcome) {
        case LoadOutcome::Loaded: return true;
        case LoadOutcome::NotLoaded: Error(input, result.Info.Label1); return false;
        case LoadOutcome::TooManyChannels:
        case LoadOutcome::InvalidFile: return false;
    }
    return false;
}

void CliRunner::PrintInfo(const std::string& input) {
    const InfoLine& info = loader_.CurrentInfoLine();
    if (options_.Inputs.size() > 1) std::fprintf(out_, "file: %s\n", input.c_str());
    std::fprintf(out_, "format: %s\n", info.Ind1.c_str());
    std::fprintf(out_, "rate: %s\n", info.Ind2.c_str());
    std::fprintf(out_, "channels: %s\n", info.Ind3.c_str());
    std::fprintf(out_, "bitrate: %s\n", info.IndRate.c_str());
    std::fprintf(out_, "output kbps: mp3 %s, ogg %s, wma %s\n", settings_.Mp3Kbps().c_str(),
                 settings_.OggKbps().c_str(), settings_.WmaKbps().c_str());
    std::fprintf(out_, "wav kbps: %s\n", settings_.WavKbps().c_str());
    std::fprintf(out_, "suggested name: %s\n", loader_.SuggestedName().c_str());
    if (options_.Inputs.size() > 1) std::fputc('\n', out_);
}

// Loading resets the bitrate texts from the source, so the user's choice is applied after it.
void CliRunner::ApplyOutputChoice() {
    settings_.SetVbr(options_.VbrQuality.has_value());
    if (options_.VbrQuality) settings_.SetQuality(*options_.VbrQuality);
    if (options_.Kbps) settings_.SetKbps(*options_.Kbps);
}

std::string CliRunner::OutputNameFor(const std::string& input) {
    if (!options_.OutputFile.empty()) return options_.OutputFile;
    fs::path folder = options_.OutputDir.empty() ? fs::path(input).parent_path() : fs::path(options_.OutputDir);
    if (folder.empty()) folder = fs::current_path();
    return namer_.InFolder(folder.string(), loader_.SuggestedName(), input, settings_.FormatExtension());
}

CliRunner::Outcome CliRunner::SaveInput(const std::string& input) {
    ApplyOutputChoice();
    // The messages name the file written, whose extension is the format's.
    const std::string output = OutputPathFor(OutputNameFor(input), settings_.FormatExtension());
    host_.BeginFile(output);
    if (!driver_.SaveAs(output, loader_.Info(), loader_.DecodeStream())) return Outcome::Failed;

    auto& queue = MainThreadQueue::Instance();
    bool cancelSent = false;
    while (driver_.Exporting()) {
        queue.WaitAndDrain(std::chrono::milliseconds(100));
        if (!cancelSent && Interrupted()) {
            driver_.Cancel();
            host_.MarkCancelled();
            cancelSent = true;
        }
    }
    switch (driver_.Outcome()) {
        case ExportOutcome::Saved:
            if (!options_.Quiet) std::fprintf(err_, "%s -> %s\n", input.c_str(), output.c_str());
            ReportResampling(output);
            return Outcome::Done;
        case ExportOutcome::Cancelled: {
            const double seconds = BASS_ChannelBytes2Seconds(loader_.DecodeStream(),
                                                             static_cast<uint64_t>(driver_.DecodedTotal()));
            std::fprintf(err_, "murmex-cli: cancelled: %s is a valid file holding the first %.1f s of %s\n",
                         output.c_str(), seconds, input.c_str());
            return Outcome::Cancelled;
        }
        case ExportOutcome::Failed:
            if (driver_.IncompleteFileLeft()) Error(output, "the file is incomplete");
            return Outcome::Failed;
        case ExportOutcome::SourceEndedEarly:  // said by the driver; the shorter file is valid
        case ExportOutcome::None:
        case ExportOutcome::Running:
            break;
    }
    return Outcome::Failed;
}

// Said even with --quiet: the file does not have the source's rate.
void CliRunner::ReportResampling(const std::string& output) {
    const unsigned rate = driver_.ResampledTo();
    if (rate == 0) return;
    std::fprintf(err_, "murmex-cli: %s: resampled from %lld Hz to %u Hz\n",
                 output.c_str(), static_cast<long long>(loader_.Info().SampleRate), rate);
}

void CliRunner::Error(const std::string& subject, const std::string& text) {
    std::fprintf(err_, "murmex-cli: %s: %s\n", subject.c_str(), text.c_str());
}

}  // namespace murmex
