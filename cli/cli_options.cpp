#include "cli/cli_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

namespace murmex {

namespace {

const std::vector<std::string> kFormats = {"wav", "mp3", "ogg", "wma"};
const std::vector<std::string> kKbpsValues = {"96", "128", "160", "192", "256", "320"};

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

// Walks the argument list; each option either sets a flag or takes the next word as its value.
class ArgumentParser {
public:
    explicit ArgumentParser(const std::vector<std::string>& args) : args_(args) {}

    CliParseResult Parse() {
        bool optionsEnded = false;
        bool formatGiven = false;
        for (index_ = 0; index_ < args_.size() && result_.Kind != CliParseResult::Action::UsageError;
             ++index_) {
            const std::string& arg = args_[index_];
            if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
                result_.Options.Inputs.push_back(arg);
                continue;
            }
            if (arg == "--") {
                optionsEnded = true;
                continue;
            }
            SplitInlineValue(arg);
            if (!HandleOption(formatGiven)) return result_;
            if (inlineValue_ && !inlineUsed_) {
                Fail("option " + name_ + " takes no value");
                return result_;
            }
        }
        if (result_.Kind == CliParseResult::Action::Run) Validate(formatGiven);
        return result_;
    }

private:
    void SplitInlineValue(const std::string& arg) {
        inlineValue_.reset();
        inlineUsed_ = false;
        const auto eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name_ = arg.substr(0, eq);
            inlineValue_ = arg.substr(eq + 1);
        } else {
            name_ = arg;
        }
    }

    bool Is(const char* shortName, const char* longName) const {
        return (shortName && name_ == shortName) || name_ == longName;
    }

    std::optional<std::string> Value() {
        if (inlineValue_) {
            inlineUsed_ = true;
            return inlineValue_;
        }
        if (index_ + 1 >= args_.size()) {
            Fail("option " + name_ + " needs a value");
            return std::nullopt;
        }
        return args_[++index_];
    }

    bool IntValue(int low, int high, int& out, const char* what) {
        auto text = Value();
        if (!text) return false;
        int v = 0;
        if (!ParseInt(*text, v) || v < low || v > high) {
            Fail(std::string(what) + " must be a whole number from " + std::to_string(low) + " to " +
                 std::to_string(high) + ", not '" + *text + "'");
            return false;
        }
        out = v;
        return true;
    }

    bool HandleOption(bool& formatGiven) {
        CliOptions& o = result_.Options;
        if (Is("-h", "--help")) {
            result_.Kind = CliParseResult::Action::Help;
            return true;
        }
        if (Is(nullptr, "--version")) {
            result_.Kind = CliParseResult::Action::Version;
            return true;
        }
        if (Is("-o", "--output")) {
            auto v = Value();
            if (v) o.OutputFile = *v;
            return v.has_value();
        }
        if (Is("-d", "--output-dir")) {
            auto v = Value();
            if (v) o.OutputDir = *v;
            return v.has_value();
        }
        if (Is("-f", "--format")) {
            auto v = Value();
            if (!v) return false;
            o.Format = Lower(*v);
            formatGiven = true;
            if (!IsKnownFormat(o.Format)) return Fail("unknown format '" + *v + "' (wav, mp3, ogg or wma)");
            return true;
        }
        if (Is("-b", "--kbps")) {
            auto v = Value();
            if (!v) return false;
            if (std::find(kKbpsValues.begin(), kKbpsValues.end(), *v) == kKbpsValues.end())
                return Fail("bitrate must be 96, 128, 160, 192, 256 or 320, not '" + *v + "'");
            o.Kbps = *v;
            return true;
        }
        if (Is("-q", "--vbr")) {
            int q = 0;
            if (!IntValue(1, 9, q, "VBR quality")) return false;
            o.VbrQuality = q;
            return true;
        }
        if (Is(nullptr, "--bias")) return IntValue(-20, 20, o.BiasDb, "noise bias level");
        if (Is(nullptr, "--reduction")) return IntValue(100, 1100, o.Reduction, "reduction level");
        if (Is(nullptr, "--method")) {
            auto v = Value();
            if (!v) return false;
            const auto method = MethodFromName(Lower(*v));
            if (!method) return Fail("unknown method '" + *v + "' (classic or adaptive)");
            o.Method = *method;
            return true;
        }
        if (Is(nullptr, "--noise-from")) {
            auto v = Value();
            if (!v) return false;
            o.Save.NoiseFrom = ParseStretch(*v);
            if (!o.Save.NoiseFrom)
                return Fail("--noise-from takes START-END in seconds, START before END, not '" + *v + "'");
            return true;
        }
        if (Is(nullptr, "--learn")) {
            o.Save.LearnNoiseFirst = true;
            return true;
        }
        if (Is(nullptr, "--aligned")) {
            o.Save.Aligned = true;
            return true;
        }
        struct Flag {
            const char* name;
            bool CliOptions::*field;
        };
        static constexpr Flag flags[] = {
            {"--detail", &CliOptions::Detail},      {"--dc-offset", &CliOptions::DcOffset},
            {"--capture-minima", &CliOptions::CaptureMinima}, {"--force", &CliOptions::Force},
            {"--info", &CliOptions::Info},          {"--quiet", &CliOptions::Quiet},
        };
        for (const Flag& f : flags) {
            if (name_ == f.name) {
                o.*f.field = true;
                return true;
            }
        }
        return Fail("unknown option '" + name_ + "'");
    }

    void Validate(bool formatGiven) {
        CliOptions& o = result_.Options;
        if (o.Inputs.empty()) {
            Fail("no input file given");
            return;
        }
        if (!o.OutputFile.empty() && !o.OutputDir.empty()) {
            Fail("--output and --output-dir cannot be used together");
            return;
        }
        if (!o.OutputFile.empty() && o.Inputs.size() > 1) {
            Fail("--output names one file; use --output-dir for several inputs");
            return;
        }
        if (!o.OutputFile.empty() && o.OutputFile.back() == '/') {
            Fail("--output names a file, not a folder; use --output-dir for a folder");
            return;
        }
        if (!formatGiven && !o.OutputFile.empty()) {
            const std::string ext = Lower(std::filesystem::path(o.OutputFile).extension().string());
            if (ext.size() > 1 && IsKnownFormat(ext.substr(1))) o.Format = ext.substr(1);
        }
        if (o.Kbps && o.VbrQuality) {
            Fail("choose either --kbps or --vbr, not both");
            return;
        }
        if ((o.Kbps || o.VbrQuality) && o.Format == "wav") {
            Fail("--kbps and --vbr apply to mp3, ogg and wma only");
        }
    }

    bool Fail(const std::string& message) {
        result_.Kind = CliParseResult::Action::UsageError;
        result_.Error = message;
        return false;
    }

    const std::vector<std::string>& args_;
    CliParseResult result_;
    size_t index_ = 0;
    std::string name_;
    std::optional<std::string> inlineValue_;
    bool inlineUsed_ = false;
};

}  // namespace

CliParseResult ParseCommandLine(const std::vector<std::string>& args) {
    return ArgumentParser(args).Parse();
}

std::string UsageText() {
    return "Usage: murmex-cli [options] INPUT...\n"
           "Removes steady background noise from audio files.\n"
           "\n"
           "  -o, --output FILE        output file (one INPUT); its extension is replaced by the format's\n"
           "  -d, --output-dir DIR     output folder (one or more INPUTs); each name as the save dialog would\n"
           "                           propose it (tags), else the input's name + \"-clean\"; two inputs never\n"
           "                           write the same output file (without -o or -d: the input's own folder)\n"
           "  -f, --format FMT         wav | mp3 | ogg | wma (default: --output's extension, else wav)\n"
           "  -b, --kbps N             96 | 128 | 160 | 192 | 256 | 320 (MP3/OGG/WMA, constant-bitrate choice)\n"
           "  -q, --vbr Q              VBR quality 1..9 (MP3/OGG/WMA)\n"
           "      --bias DB            noise bias level -20..20 (default 0)\n"
           "      --reduction LEVEL    reduction level 100..1100 (default 600)\n"
           "      --detail             \"Fourier detail amplifier\" on\n"
           "      --dc-offset          \"DC Offset correction\" on\n"
           "      --capture-minima     \"Capture minima\" on\n"
           "      --method M           classic | adaptive noise reduction (default classic)\n"
           "      --learn              learn the noise from the whole input before saving it\n"
           "      --noise-from S-E     learn the noise from seconds S to E only (a stretch holding only noise)\n"
           "      --aligned            keep timing: the output has no delay and the input's exact length\n"
           "      --force              overwrite existing output files (otherwise refuse, like answering No)\n"
           "      --info               print the source details (lines `key: value`) and save nothing\n"
           "      --quiet              no progress bar (a progress bar shows on stderr when it is a terminal)\n"
           "  -h, --help / --version\n"
           "\n"
           "Exit status: 0 all files saved, 1 a file failed, 2 usage error.\n";
}

}  // namespace murmex
