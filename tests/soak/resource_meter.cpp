#include "tests/soak/resource_meter.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace murmex::soak {

namespace {

int CountEntries(const char* folder) {
    std::error_code ec;
    int count = 0;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) ++count;
    return ec ? -1 : count;
}

}  // namespace

ResourceSample SampleResources() {
    ResourceSample sample{-1, -1, -1, {}};
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) sample.RssKiB = std::stol(line.substr(6));
    }
    std::error_code ec;
    int threads = 0;
    std::map<std::string, int> names;
    for (std::filesystem::directory_iterator it("/proc/self/task", ec), end; !ec && it != end; it.increment(ec)) {
        ++threads;
        std::string name;
        std::getline(std::ifstream(it->path() / "comm"), name);
        ++names[name];
    }
    if (!ec) sample.Threads = threads;
    // Less the descriptor the listing itself holds open.
    const int descriptors = CountEntries("/proc/self/fd");
    sample.Descriptors = descriptors < 0 ? -1 : descriptors - 1;
    for (const auto& [name, count] : names)
        sample.ThreadNames += (sample.ThreadNames.empty() ? "" : ", ") + name + " x" + std::to_string(count);
    return sample;
}

void ResourceTrack::Record(const ResourceSample& sample) {
    if (!started_) {
        start_ = max_ = sample;
        started_ = true;
    }
    end_ = sample;
    max_.RssKiB = std::max(max_.RssKiB, sample.RssKiB);
    max_.Threads = std::max(max_.Threads, sample.Threads);
    max_.Descriptors = std::max(max_.Descriptors, sample.Descriptors);
}

bool ResourceTrack::Flat(long rssAllowanceKiB) const {
    return started_ && start_.RssKiB > 0 && start_.Threads > 0 && end_.RssKiB - start_.RssKiB <= rssAllowanceKiB &&
           end_.Threads <= start_.Threads && start_.Descriptors >= 0 && end_.Descriptors <= start_.Descriptors;
}

void ResourceTrack::Print(std::FILE* to) const {
    std::fprintf(to,
                 "%s: RSS start %ld KiB, end %ld KiB, max %ld KiB; threads start %d, end %d, max %d; "
                 "open files start %d, end %d, max %d\n",
                 name_.c_str(), start_.RssKiB, end_.RssKiB, max_.RssKiB, start_.Threads, end_.Threads, max_.Threads,
                 start_.Descriptors, end_.Descriptors, max_.Descriptors);
    if (end_.Threads != start_.Threads)
        std::fprintf(to, "  threads at the start: %s\n  threads at the end: %s\n", start_.ThreadNames.c_str(),
                     end_.ThreadNames.c_str());
}

}  // namespace murmex::soak
