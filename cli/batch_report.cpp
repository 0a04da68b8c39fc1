#include "cli/batch_report.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "cli/escaped_text.h"

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
        {"method", std::string(MethodName(o.Method))},
        {"learn", o.Save.LearnNoiseFirst},
        {"aligned", o.Save.Aligned},
        {"kbps", o.Kbps ? json(std::stoi(*o.Kbps)) : json(nullptr)},
        {"vbr", o.VbrQuality ? json(*o.VbrQuality) : json(nullptr)},
        {"noise_from", o.Save.NoiseFrom ? json::array({o.Save.NoiseFrom->first, o.Save.NoiseFrom->second})
                                        : json(nullptr)},
    };
    return settings;
}

// `name` under `key`, and under key + "_bytes" too when it is not UTF-8; null when empty.
void PutName(json& record, const std::string& key, const std::string& name) {
    record[key] = name.empty() ? json(nullptr) : json(name);
    if (!IsUtf8(name)) record[key + "_bytes"] = EscapedBytes(name);
}

int PartialCount(const std::vector<FileRecord>& records) {
    return static_cast<int>(std::count_if(records.begin(), records.end(), [](const FileRecord& r) { return !r.Partial.empty(); }));
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

}  // namespace

void BatchReport::File(const FileRecord& r) {
    json record = {
        {"status", r.Status},
        {"message", Joined(r.Messages)},
        {"seconds", r.Seconds},
        {"wall_seconds", r.WallSeconds},
        {"peak_memory_kib", r.PeakKiB},
        {"settings", Settings(options_)},
    };
    PutName(record, "input", r.Input);
    PutName(record, "output", r.Output);
    PutName(record, "partial", r.Partial);
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
    if (const int partial = PartialCount(records); partial > 0) line += " (" + std::to_string(partial) + " partial)";
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
    summary["partial"] = PartialCount(records);
    Line(json{{"summary", summary}}.dump(-1, ' ', false, json::error_handler_t::replace));
}

void BatchReport::Line(const std::string& text) {
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

}  // namespace murmex
