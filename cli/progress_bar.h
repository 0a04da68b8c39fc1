#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace murmex {

// One bar on a terminal for the whole batch: "[#####.....]  42% label". Lines printed while it
// shows go through Print, which clears the bar first; it is drawn again at the next Show. Both
// show the label and the lines as TerminalText.
class ProgressBar {
public:
    ProgressBar(bool enabled, std::FILE* err) : enabled_(enabled), err_(err) {}

    // `perMille` of the whole work is done. Redrawn when the figure or label changed, at most
    // ten times a second (and always at 1000).
    void Show(int perMille, const std::string& label);
    void Print(const std::string& line);
    // Ends the bar's line, leaving it as it was last drawn.
    void Finish();

private:
    void Clear();

    bool enabled_;
    std::FILE* err_;
    bool shown_ = false;
    int lastPerMille_ = -1;
    std::string lastLabel_;
    std::chrono::steady_clock::time_point lastDrawn_{};
};

}  // namespace murmex
