#include "cli/progress_bar.h"

#include "cli/escaped_text.h"

namespace murmex {

void ProgressBar::Show(int perMille, const std::string& label) {
    if (!enabled_ || (perMille == lastPerMille_ && label == lastLabel_)) return;
    const auto now = std::chrono::steady_clock::now();
    if (perMille < 1000 && shown_ && now - lastDrawn_ < std::chrono::milliseconds(100)) return;
    constexpr int kWidth = 40;
    const int filled = perMille * kWidth / 1000;
    std::fprintf(err_, "\r[%s%s] %3d%% %s\033[K", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), perMille / 10, TerminalText(label).c_str());
    std::fflush(err_);
    shown_ = true;
    lastPerMille_ = perMille;
    lastLabel_ = label;
    lastDrawn_ = now;
}

void ProgressBar::Print(const std::string& line) {
    Clear();
    PrintLine(err_, line);
    std::fflush(err_);
}

void ProgressBar::Finish() {
    if (!shown_) return;
    std::fputc('\n', err_);
    shown_ = false;
}

void ProgressBar::Clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", err_);
    shown_ = false;
    lastPerMille_ = -1;
}

}  // namespace murmex
