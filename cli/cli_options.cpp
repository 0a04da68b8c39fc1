#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <string_view>
#include <utility>

#include "engine/channel_worker.h"

namespace murmex {

namespace {

const std::vector<std::string> kFormats = {"wav", "mp3", "ogg", "wma"};
const std::vector<std::string> kKbpsValues = {"96", "128", "160", "192", "256", "320"};
constexpr int kMaxJobs = 256;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool ParseInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool ParseSeconds(std::string_view text, double& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty() && std::isfinite(value) && value >= 0.0;
}

// "START-END" in seconds, START before END.
std::optional<std::pair<double, double>> ParseStretch(const std::string& text) {
    const auto dash = text.find('-');
    if (dash == std::string::npos) return std::nullopt;
    double start = 0.0;
    double end = 0.0;
    const std::string_view whole(text);
    if (!ParseSeconds(whole.substr(0, dash), start) || !ParseSeconds(whole.substr(dash + 1), end) || start >= end)
        return std::nullopt;
    return std::pair{start, end};
}

bool IsKnownFormat(const std::string& format) {
    return std::find(kFormats.begin(), kFormats.end(), format) != kFormats.end();
}

int DefaultJobs() { return std::clamp(ChannelWorker::UsableCores(), 1, kMaxJobs); }

// The words of the command line as CLI11 collects them; turned into CliOptions, with the
// project's own wording for wrong values, once the whole line has been read.
struct RawOptions {
    std::vector<std::string> inputs;
    std::string output, outputDir, format, kbps, vbr, bias, reduction, method, noiseFrom, jobs, timeout;
    bool help = false, version = false;
    CliOptions flags;  // the switches land here directly
};

// Declares every option, with the help text that --help (and the man page made from it) shows.
void Declare(CLI::App& app, RawOptions& raw) {
    app.set_help_flag();
    app.name("murmex-cli");
    app.description("Removes steady background noise from audio files.");
    app.get_formatter()->column_width(28);
    const auto value = [&](const std::string& names, std::string& into, const std::string& type,
                           const std::string& text) {
        app.add_option(names, into, text)->type_name(type)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    };
    const auto flag = [&](const std::string& names, bool& into, const std::string& text) {
        app.add_flag(names, into, text)->disable_flag_override();
    };
    CliOptions& f = raw.flags;
    value("-o,--output", raw.output, "FILE",
          "output file (one INPUT); its extension is replaced by the format's; \"-\" writes WAV to standard output");
    value("-d,--output-dir", raw.outputDir, "DIR",
          "output folder (one or more INPUTs); each name as the save dialog would propose it (tags), else the "
          "input's name + \"-clean\"; two inputs never write the same output file, nor names that differ only in "
          "case (without -o or -d: the input's own folder, or the working folder for standard input); made, as "
          "mkdir -p would, when missing");
    value("-f,--format", raw.format, "FMT", "wav | mp3 | ogg | wma (default: --output's extension, else wav)");
    value("-b,--kbps", raw.kbps, "N", "96 | 128 | 160 | 192 | 256 | 320 (MP3/OGG/WMA, constant-bitrate choice)");
    value("-q,--vbr", raw.vbr, "Q", "VBR quality 1..9 (MP3/OGG/WMA)");
    value("--bias", raw.bias, "DB", "noise bias level -20..20 (default 0)");
    value("--reduction", raw.reduction, "LEVEL", "reduction level 100..1100 (default 600)");
    flag("--detail", f.Detail, "\"Fourier detail amplifier\" on");
    flag("--dc-offset", f.DcOffset, "\"DC Offset correction\" on");
    flag("--capture-minima", f.CaptureMinima, "\"Capture minima\" on");
    value("--method", raw.method, "M",
          "adaptive | classic noise reduction (default " + std::string(MethodName(kDefaultMethod)) +
              "; classic is the original rule set, which barely touches real noise)");
    flag("--learn", f.Save.LearnNoiseFirst, "learn the noise from the whole input before saving it");
    value("--noise-from", raw.noiseFrom, "S-E", "learn the noise from seconds S to E only (a stretch holding only noise)");
    flag("--aligned", f.Save.Aligned, "keep timing: the output has no delay and the input's exact length");
    flag("--force", f.Force, "overwrite existing output files (otherwise refuse, like answering No)");
    flag("--skip-existing", f.SkipExisting,
         "skip inputs whose output file exists and report them as skipped, so an interrupted batch resumes "
         "(a single save cut short by Ctrl-C keeps its name: remove it first)");
    flag("--info", f.Info, "print the source details (lines `key: value`) and save nothing");
    value("-j,--jobs", raw.jobs, "N",
          "clean N files at once, each in a worker process of its own (default: the number of cores)");
    value("--timeout", raw.timeout, "S",
          "a file whose worker runs longer than S seconds is stopped and reported as failed");
    flag("--json", f.Json,
         "one JSON object per file on standard output (input, output, status, message, partial file, seconds of "
         "audio, wall time, settings; a name that is not UTF-8 also whole in input_bytes or output_bytes), then a "
         "summary; the messages stay on standard error");
    flag("--quiet", f.Quiet, "no progress bar (a progress bar shows on stderr when it is a terminal)");
    flag("-h,--help", raw.help, "print this help and exit");
    flag("--version", raw.version, "print the version and exit");
    app.add_option("INPUT", raw.inputs, "audio files (WAV, MP3, Ogg Vorbis, WMA, FLAC); \"-\" reads standard input")
        ->type_name("");
    app.footer(
        "Standard input and output: INPUT \"-\" reads a WAV (or any stream FFmpeg decodes) from standard input; "
        "\"-o -\" writes WAV to standard output, its sizes marked unknown (0xFFFFFFFF). Every other name is a "
        "plain file.\n"
        "Ctrl-C cancels every file being saved; each keeps a valid file holding what was saved so far: a single "
        "save under its own name, the saves of a batch (and any save stopped by SIGTERM, SIGHUP, --timeout or a "
        "crash) as NAME.partial.EXT, which --skip-existing does not take for finished. SIGHUP and SIGTERM end "
        "a batch as Ctrl-C does.\n"
        "Exit status: 0 all files saved, 1 a file failed, 2 usage error, 130 interrupted by Ctrl-C (129 by "
        "SIGHUP, 143 by SIGTERM).");
}

// The word of `args` the user wrote for `option` (its short or long name, maybe with "=value").
std::string SpellingOf(const CLI::Option* option, const std::vector<std::string>& args) {
    if (option == nullptr) return "";
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        const std::string word = it->substr(0, it->find('='));
        if (option->check_name(word)) return word;
    }
    return option->get_name();
}

// CLI11's reasons, in the words murmex-cli has always used.
std::string Explain(const CLI::ParseError& error, const CLI::App& app, const std::vector<std::string>& args) {
    const std::string text = error.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        const std::string extra = text.substr(text.find(": ") + 2);
        if (!extra.empty() && extra[0] == '-') return "unknown option '" + extra.substr(0, extra.find('=')) + "'";
        return text;
    }
    const std::string subject = text.substr(0, text.find(':'));
    const std::string flagName = text.substr(0, text.find(' '));
    for (const CLI::Option* option : app.get_options()) {
        if (text.find("disallowed flag override") != std::string::npos && option->check_lname(flagName))
            return "option " + SpellingOf(option, args) + " takes no value";
        if (text.find("required") != std::string::npos && option->check_name(subject))
            return "option " + SpellingOf(option, args) + " needs a value";
    }
    return text;
}

class OptionChecker {
public:
    OptionChecker(RawOptions& raw, CliParseResult& result) : raw_(raw), result_(result), o_(result.Options) {}

    void Check() {
        o_ = raw_.flags;
        o_.Inputs = raw_.inputs;
        o_.OutputFile = raw_.output;
        o_.OutputDir = raw_.outputDir;
        o_.Jobs = DefaultJobs();
        const bool formatGiven = !raw_.format.empty();
        if (formatGiven) {
            o_.Format = Lower(raw_.format);
            if (!IsKnownFormat(o_.Format)) return Fail("unknown format '" + raw_.format + "' (wav, mp3, ogg or wma)");
        }
        if (!raw_.kbps.empty()) {
            if (std::find(kKbpsValues.begin(), kKbpsValues.end(), raw_.kbps) == kKbpsValues.end())
                return Fail("bitrate must be 96, 128, 160, 192, 256 or 320, not '" + raw_.kbps + "'");
            o_.Kbps = raw_.kbps;
        }
        int quality = 0;
        if (!raw_.vbr.empty()) {
            if (!Whole(raw_.vbr, 1, 9, quality, "VBR quality")) return;
            o_.VbrQuality = quality;
        }
        if (!Whole(raw_.bias, -20, 20, o_.BiasDb, "noise bias level") ||
            !Whole(raw_.reduction, 100, 1100, o_.Reduction, "reduction level") ||
            !Whole(raw_.jobs, 1, kMaxJobs, o_.Jobs, "the number of jobs"))
            return;
        if (!raw_.method.empty()) {
            const auto method = MethodFromName(Lower(raw_.method));
            if (!method) return Fail("unknown method '" + raw_.method + "' (classic or adaptive)");
            o_.Method = *method;
        }
        if (!raw_.noiseFrom.empty()) {
            o_.Save.NoiseFrom = ParseStretch(raw_.noiseFrom);
            if (!o_.Save.NoiseFrom)
                return Fail("--noise-from takes START-END in seconds, START before END, not '" + raw_.noiseFrom + "'");
        }
        if (!raw_.timeout.empty()) {
            double seconds = 0.0;
            if (!ParseSeconds(raw_.timeout, seconds) || seconds <= 0.0)
                return Fail("--timeout takes a number of seconds above 0, not '" + raw_.timeout + "'");
            o_.TimeoutSeconds = seconds;
        }
        CheckCombination(formatGiven);
    }

private:
    void CheckCombination(bool formatGiven) {
        if (o_.Inputs.empty()) return Fail("no input file given");
        if (!o_.OutputFile.empty() && !o_.OutputDir.empty())
            return Fail("--output and --output-dir cannot be used together");
        if (!o_.OutputFile.empty() && o_.Inputs.size() > 1)
            return Fail("--output names one file; use --output-dir for several inputs");
        if (!o_.OutputFile.empty() && o_.OutputFile.back() == '/')
            return Fail("--output names a file, not a folder; use --output-dir for a folder");
        if (std::count(o_.Inputs.begin(), o_.Inputs.end(), kStdioName) > 1)
            return Fail("standard input (\"-\") can be read only once");
        if (!formatGiven && !o_.OutputFile.empty() && !o_.WritesStdout()) {
            const std::string ext = Lower(std::filesystem::path(o_.OutputFile).extension().string());
            if (ext.size() > 1 && IsKnownFormat(ext.substr(1))) o_.Format = ext.substr(1);
        }
        if (o_.WritesStdout() && o_.Format != "wav") return Fail("-o - writes WAV only, not " + o_.Format);
        if (o_.WritesStdout() && o_.Json) return Fail("--json and -o - both write to standard output; choose one");
        if (o_.Info && o_.Json) return Fail("--info prints text; it cannot be used with --json");
        if (o_.Kbps && o_.VbrQuality) return Fail("choose either --kbps or --vbr, not both");
        if ((o_.Kbps || o_.VbrQuality) && o_.Format == "wav") Fail("--kbps and --vbr apply to mp3, ogg and wma only");
    }

    // An empty text keeps the default.
    bool Whole(const std::string& text, int low, int high, int& out, const std::string& what) {
        if (text.empty()) return true;
        int v = 0;
        if (!ParseInt(text, v) || v < low || v > high) {
            Fail(what + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                 ", not '" + text + "'");
            return false;
        }
        out = v;
        return true;
    }

    void Fail(const std::string& message) {
        result_.Kind = CliParseResult::Action::UsageError;
        result_.Error = message;
    }

    RawOptions& raw_;
    CliParseResult& result_;
    CliOptions& o_;
};

}  // namespace

CliParseResult ParseCommandLine(const std::vector<std::string>& args) {
    CliParseResult result;
    RawOptions raw;
    CLI::App app;
    Declare(app, raw);
    try {
        // CLI11 takes the words last first.
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        result.Kind = CliParseResult::Action::UsageError;
        result.Error = Explain(error, app, args);
        // --help anywhere wins over a mistake elsewhere, as it always has.
        if (std::find_if(args.begin(), args.end(), [](const std::string& a) { return a == "-h" || a == "--help"; }) ==
            args.end())
            return result;
        raw.help = true;
    }
    if (raw.help) {
        result.Kind = CliParseResult::Action::Help;
        return result;
    }
    if (raw.version) {
        result.Kind = CliParseResult::Action::Version;
        return result;
    }
    OptionChecker(raw, result).Check();
    return result;
}

std::string UsageText() {
    RawOptions raw;
    CLI::App app;
    Declare(app, raw);
    return app.help();
}

}  // namespace murmex
