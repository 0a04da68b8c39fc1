#pragma once

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace murmex {

// One input of a batch and what became of it.
struct FileRecord {
    std::string Input;   // as given on the command line
    std::string Shown;   // as the messages name it
    std::string Path;    // the file loaded (for standard input: its copy)
    std::string Output;  // empty until decided; "-" is standard output
    std::string Suggested;  // the probe's answer: the name the save dialog would propose
    std::string Status = "pending";  // saved | failed | cancelled | skipped | described
    std::vector<std::string> Messages;  // what was said about it on stderr
    std::string Printed;  // --info: the lines for standard output
    std::string Partial;  // where the file of a save that did not finish is kept; empty: none
    // What its running worker's save writes into: a scratch file beside the output, or (for
    // standard output) a scratch folder. Cleared up once the worker has ended.
    std::string Scratch;
    std::string ScratchFolder;
    double Seconds = 0.0;      // of audio
    double WallSeconds = 0.0;  // of its worker(s)
    long PeakKiB = 0;          // the largest peak resident memory of its workers
    int PerMille = 0;          // progress of its save
    bool Ended = false;
};

// How many files ended with each status (saved, failed, cancelled, skipped always present).
std::map<std::string, int> CountByStatus(const std::vector<FileRecord>& records);

// The batch's last line on standard error, e.g. "8 files: 7 saved, 1 failed", and how many of
// the failed ones left a partial file: "8 files: 6 saved, 2 failed (2 partial)".
std::string TallyLine(const std::vector<FileRecord>& records);

// --json: one object per file on standard output, in the order of the inputs, then a summary
// of the batch. A name that is not UTF-8 (shown with U+FFFD in its field) comes once more,
// whole, as EscapedBytes in a field "..._bytes" beside it.
class BatchReport {
public:
    BatchReport(const CliOptions& options, std::FILE* out) : options_(options), out_(out) {}

    void File(const FileRecord& record);
    void Summary(const std::vector<FileRecord>& records, double wallSeconds);

private:
    void Line(const std::string& text);

    const CliOptions& options_;
    std::FILE* out_;
};

}  // namespace murmex
