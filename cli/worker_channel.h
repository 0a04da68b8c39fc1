#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace murmex {

// What a worker tells the batch's parent about its file, one JSON object per line on a pipe of
// its own (the worker's standard error carries the human messages, which the parent relays).
// Paths go as EscapedBytes, so that names that are not UTF-8 arrive whole.
//   {"progress": per mille}
//   {"suggested": name, "seconds": audio seconds}      a probe's answer
//   {"scratch": path} / {"scratch_folder": path}       the save's scratch file, or the folder
//                                                      that holds it; what to clear up should
//                                                      the worker end before its save does
//   {"status": "saved" | "failed" | "cancelled" | "described", "seconds": audio seconds,
//    "partial": path (when the file was kept as a partial one)}
class WorkerChannel {
public:
    explicit WorkerChannel(int fd) : fd_(fd) {}

    void Progress(int perMille);
    void Probed(const std::string& suggestedName, double seconds);
    void ScratchFile(const std::string& path);
    void ScratchFolder(const std::string& path);
    void Finished(const std::string& status, double seconds, const std::string& partial = "");

private:
    void Send(const nlohmann::json& message);

    int fd_;
    int lastProgress_ = -1;
};

// The parent's side: collects bytes and hands out every complete line.
class LineCollector {
public:
    template <typename OnLine>
    void Add(const char* data, std::size_t size, OnLine&& onLine) {
        pending_.append(data, size);
        for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
            onLine(pending_.substr(0, end));
            pending_.erase(0, end + 1);
        }
    }
    // At the end of the stream: an unfinished last line.
    template <typename OnLine>
    void Flush(OnLine&& onLine) {
        if (!pending_.empty()) onLine(pending_);
        pending_.clear();
    }

private:
    std::string pending_;
};

}  // namespace murmex
