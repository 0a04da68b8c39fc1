#include "cli/batch_report.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace murmex {

namespace {

using nlohmann::json;

json Settings(const CliOptions& o) {
    json settings = {
        {"format", o.Format},
        {"bias", o.BiasDb},
        {"reduction", o.Reduction},
        {"detail", o.Detail},
        {"dc_offset", o.DcOffset},
        {"capture_minima", o.CaptureMinima},
        {"method", o.Method == NoiseReductionMethod::Adaptive ? "adaptive" : "classic"},
        {"learn", o.Save.LearnNoiseFirst},
        {"aligned", o.Save.Aligned},
        {"kbps", o.Kbps ? json(std::stoi(*o.Kbps)) : json(nullptr)},
        {"vbr", o.VbrQuality ? json(*o.VbrQuality) : json(nullptr)},
        {"noise_from", o.Save.NoiseFrom ? json::array({o.Save.NoiseFrom->first, o.Save.NoiseFrom->second})
                                        : json(nullptr)},
    };
    return settings;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

}  // namespace

void BatchReport::File(const FileRecord& r) {
    const json record = {
        {"input", r.Input},
        {"output", r.Output.empty() ? json(nullptr) : json(r.Output)},
        {"status", r.Status},
        {"message", Joined(r.Messages)},
        {"seconds", r.Seconds},
        {"wall_seconds", r.WallSeconds},
        {"peak_memory_kib", r.PeakKiB},
        {"settings", Settings(options_)},
    };
    Line(record.dump(-1, ' ', false, json::error_handler_t::replace));
}

std::map<std::string, int> CountByStatus(const std::vector<FileRecord>& records) {
    std::map<std::string, int> counts = {{"saved", 0}, {"failed", 0}, {"cancelled", 0}, {"skipped", 0}};
    for (const FileRecord& r : records) ++counts[r.Status];
    return counts;
}

std::string TallyLine(const std::vector<FileRecord>& records) {
    std::string line = std::to_string(records.size()) + " files:";
    const char* separator = " ";
    for (const auto& [status, count] : CountByStatus(records)) {
        if (count == 0) continue;
        line += separator + std::to_string(count) + " " + status;
        separator = ", ";
    }
    return line;
}

void BatchReport::Summary(const std::vector<FileRecord>& records, double wallSeconds) {
    double seconds = 0.0;
    long peak = 0;
    for (const FileRecord& r : records) {
        seconds += r.Seconds;
        peak = std::max(peak, r.PeakKiB);
    }
    json summary = {{"files", records.size()}, {"seconds", seconds}, {"wall_seconds", wallSeconds},
                    {"peak_memory_kib", peak}, {"jobs", options_.Jobs}};
    for (const auto& [status, count] : CountByStatus(records)) summary[status] = count;
    Line(json{{"summary", summary}}.dump(-1, ' ', false, json::error_handler_t::replace));
}

void BatchReport::Line(const std::string& text) {
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

}  // namespace murmex
