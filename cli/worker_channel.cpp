#include "cli/worker_channel.h"

#include <cerrno>

#include <unistd.h>

namespace murmex {

void WorkerChannel::Progress(int perMille) {
    // The bar moves in tenths of a percent; repeating one would only fill the pipe.
    if (perMille == lastProgress_) return;
    lastProgress_ = perMille;
    Send({{"progress", perMille}});
}

void WorkerChannel::Probed(const std::string& suggestedName, double seconds) {
    Send({{"suggested", suggestedName}, {"seconds", seconds}});
}

void WorkerChannel::Finished(const std::string& status, double seconds) {
    Send({{"status", status}, {"seconds", seconds}});
}

void WorkerChannel::Send(const nlohmann::json& message) {
    // Names from tags may hold any bytes; replace what is not UTF-8 rather than throw.
    const std::string line = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    // A parent that has gone away leaves nobody to tell; the save itself goes on.
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace murmex
