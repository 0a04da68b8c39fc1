#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "export/export_host.h"

namespace murmex {

// The command line's side of a save: message boxes become lines on stderr (the overwrite
// question is answered by --force), the progress goes to `onProgress` (the batch's parent
// draws one bar for every file).
class CliHost : public ExportHost {
public:
    CliHost(bool force, std::function<void(int)> onProgress, std::FILE* err = stderr);

    // Starts a new file, named in the messages by `shownPath`; `outputPath` is the file
    // actually written (they differ only for standard output, written through a scratch file).
    void BeginFile(const std::string& outputPath, const std::string& shownPath);

    bool Ask(const ExportQuestion& question) override;
    void EnterExportState() override {}
    void LeaveExportState() override;
    void ShowExportProgress(int perMille) override;
    void ReportExportError(const std::string& text) override;

    // The save was asked to stop early: the progress is not completed.
    void MarkCancelled() { cancelled_ = true; }

private:
    bool force_;
    std::function<void(int)> onProgress_;
    std::FILE* err_;
    std::string path_;
    std::string shown_;
    bool failed_ = false;
    bool cancelled_ = false;
};

}  // namespace murmex
