#pragma once
// The process's own resident memory and thread count, sampled between operations, with the
// first sample after a warm-up as the baseline.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <utility>

namespace murmex::soak {

struct ResourceSample {
    long RssKiB = 0;
    int Threads = 0;
    int Descriptors = 0;  // open files, so that a file a save forgot to close shows too
    std::string ThreadNames;  // "name x count, ..." for a report when the count moved
};

// VmRSS from /proc/self/status and the entries of /proc/self/task and /proc/self/fd; -1 where
// unreadable.
ResourceSample SampleResources();

class ResourceTrack {
public:
    explicit ResourceTrack(std::string name) : name_(std::move(name)) {}

    // Every sample after the warm-up counts; the first of them is the start.
    void Record(const ResourceSample& sample);

    // The thread count of the first sample after the warm-up; 0 before it.
    int StartThreads() const { return started_ ? start_.Threads : 0; }
    // RSS may grow by at most `rssAllowanceKiB` from start to end, threads and open files not at all.
    bool Flat(long rssAllowanceKiB) const;
    // "<name>: RSS start ... end ... max ... KiB; threads start ... end ... max ...; open files ..."
    void Print(std::FILE* to) const;

private:
    std::string name_;
    bool started_ = false;
    ResourceSample start_;
    ResourceSample end_;
    ResourceSample max_;
};

}  // namespace murmex::soak
