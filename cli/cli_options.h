#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/processing_options.h"
#include "export/save_mode.h"

namespace murmex {

// The one spelling that means standard input (as INPUT) or standard output (as -o).
inline constexpr const char* kStdioName = "-";

// Everything murmex-cli was asked to do, as parsed from its arguments.
struct CliOptions {
    std::vector<std::string> Inputs;
    std::string OutputFile;     // -o: one input only; "-" is standard output
    std::string OutputDir;      // -d
    std::string Format = "wav"; // wav | mp3 | ogg | wma
    std::optional<std::string> Kbps;  // constant-bitrate choice
    std::optional<int> VbrQuality;    // 1..9
    int BiasDb = 0;                   // noise bias slider position
    int Reduction = 600;              // reduction slider position
    bool Detail = false;
    bool DcOffset = false;
    bool CaptureMinima = false;
    NoiseReductionMethod Method = kDefaultMethod;
    SaveMode Save;                    // --learn, --noise-from, --aligned
    bool Force = false;
    bool Info = false;
    bool Quiet = false;
    int Jobs = 1;                     // files at once; the parser's default is the cores
    std::optional<double> TimeoutSeconds;
    bool Json = false;
    bool SkipExisting = false;

    bool WritesStdout() const { return OutputFile == kStdioName; }
};

struct CliParseResult {
    enum class Action { Run, Help, Version, UsageError };
    Action Kind = Action::Run;
    CliOptions Options;
    std::string Error;  // for UsageError
};

CliParseResult ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText();

}  // namespace murmex
