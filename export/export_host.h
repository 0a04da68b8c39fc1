#pragma once

#include <string>

namespace murmex {

enum class ExportIcon { Error, Warning };

// A message box the save command needs answered.
struct ExportQuestion {
    std::string Text;
    std::string Caption;
    ExportIcon Icon = ExportIcon::Error;
    bool YesNo = false;  // Yes/No buttons instead of a single OK
};

// What the save command needs from whoever drives it (the window, the command line, tests).
// Every call is made on the main thread.
class ExportHost {
public:
    virtual ~ExportHost() = default;
    // Shows the message box; true for Yes (or OK).
    virtual bool Ask(const ExportQuestion& question) = 0;
    // Disables the controls for the duration of a save (lamp on, Cancel enabled).
    virtual void EnterExportState() = 0;
    // Restores the controls; called once the writer is idle again, so a new save can start.
    virtual void LeaveExportState() = 0;
    // Per-mille progress of the save (0..1000), only when it moves to a new multiple of 4.
    virtual void ShowExportProgress(int perMille) = 0;
    // The save failed or left a shorter file than the source: `text` is "<output file>: <why>",
    // the why being the writer's error in its own words where it had one. LeaveExportState
    // follows.
    virtual void ReportExportError(const std::string& text) = 0;
};

}  // namespace murmex
