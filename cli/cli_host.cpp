#include "cli/cli_host.h"

namespace murmex {

CliHost::CliHost(bool force, bool progressBar, std::FILE* err)
    : force_(force), progressBar_(progressBar), err_(err) {}

void CliHost::BeginFile(const std::string& outputLabel) {
    label_ = outputLabel;
    exporting_ = false;
    failed_ = false;
    cancelled_ = false;
    barShown_ = false;
}

bool CliHost::Ask(const ExportQuestion& question) {
    if (question.YesNo) {
        if (force_) return true;
        std::fprintf(err_, "murmex-cli: %s: %s No (use --force to overwrite)\n", label_.c_str(),
                     question.Text.c_str());
    } else {
        std::fprintf(err_, "murmex-cli: %s: %s (%s)\n", label_.c_str(), question.Text.c_str(),
                     question.Caption.c_str());
    }
    failed_ = true;
    return false;
}

void CliHost::EnterExportState() { exporting_ = true; }

void CliHost::LeaveExportState() {
    if (barShown_ && !failed_ && !cancelled_) ShowExportProgress(1000);
    EndProgressLine();
    exporting_ = false;
}

void CliHost::ShowExportProgress(int perMille) {
    if (!progressBar_) return;
    constexpr int kWidth = 40;
    const int filled = perMille * kWidth / 1000;
    std::fprintf(err_, "\r[%s%s] %3d%% %s", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), perMille / 10, label_.c_str());
    std::fflush(err_);
    barShown_ = true;
}

void CliHost::ReportExportError(const std::string& text) {
    EndProgressLine();
    // The text names the file itself.
    std::fprintf(err_, "murmex-cli: %s\n", text.c_str());
    failed_ = true;
}

void CliHost::EndProgressLine() {
    if (!barShown_) return;
    std::fputc('\n', err_);
    barShown_ = false;
}

}  // namespace murmex
