#pragma once

#include <cstdio>
#include <string>

#include "export/export_host.h"

namespace murmex {

// The command line's side of a save: message boxes become lines on stderr (the overwrite
// question is answered by --force), the progress shows as a bar on stderr when wanted.
class CliHost : public ExportHost {
public:
    CliHost(bool force, bool progressBar, std::FILE* err = stderr);

    // Starts a new file, named in the messages by `outputPath` (the file actually written):
    // clears the outcome of the previous one.
    void BeginFile(const std::string& outputPath);

    bool Ask(const ExportQuestion& question) override;
    void EnterExportState() override;
    void LeaveExportState() override;
    void ShowExportProgress(int perMille) override;
    void ReportExportError(const std::string& text) override;

    // The save was asked to stop early: the bar is not completed.
    void MarkCancelled() { cancelled_ = true; }

    bool Exporting() const { return exporting_; }

private:
    void EndProgressLine();

    bool force_;
    bool progressBar_;
    std::FILE* err_;
    std::string label_;
    bool exporting_ = false;
    bool failed_ = false;
    bool cancelled_ = false;
    bool barShown_ = false;
};

}  // namespace murmex
