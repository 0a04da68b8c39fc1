#include "cli/cli_host.h"

#include <utility>

#include "cli/escaped_text.h"

namespace murmex {

CliHost::CliHost(bool force, std::function<void(int)> onProgress, std::FILE* err)
    : force_(force), onProgress_(std::move(onProgress)), err_(err) {}

void CliHost::BeginFile(const std::string& outputPath, const std::string& shownPath) {
    path_ = outputPath;
    shown_ = shownPath;
    failed_ = false;
    cancelled_ = false;
}

bool CliHost::Ask(const ExportQuestion& question) {
    if (question.YesNo) {
        if (force_) return true;
        PrintLine(err_, "murmex-cli: " + shown_ + ": " + question.Text + " No (use --force to overwrite)");
    } else {
        PrintLine(err_, "murmex-cli: " + shown_ + ": " + question.Text + " (" + question.Caption + ")");
    }
    failed_ = true;
    return false;
}

void CliHost::LeaveExportState() {
    if (!failed_ && !cancelled_) ShowExportProgress(1000);
}

void CliHost::ShowExportProgress(int perMille) {
    if (onProgress_) onProgress_(perMille);
}

void CliHost::ReportExportError(const std::string& text) {
    // The text names the file itself; a scratch file standing in for standard output is named
    // as what it stands for.
    std::string said = text;
    if (path_ != shown_) {
        for (std::size_t at; (at = said.find(path_)) != std::string::npos;) said.replace(at, path_.size(), shown_);
    }
    PrintLine(err_, "murmex-cli: " + said);
    failed_ = true;
}

}  // namespace murmex
