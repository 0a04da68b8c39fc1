#include "cli/worker_channel.h"

#include <unistd.h>

#include <cerrno>

#include "cli/escaped_text.h"

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

void WorkerChannel::ScratchFile(const std::string& path) { Send({{"scratch", EscapedBytes(path)}}); }

void WorkerChannel::ScratchFolder(const std::string& path) { Send({{"scratch_folder", EscapedBytes(path)}}); }

void WorkerChannel::Finished(const std::string& status, double seconds, const std::string& partial) {
    nlohmann::json message = {{"status", status}, {"seconds", seconds}};
    if (!partial.empty()) message["partial"] = EscapedBytes(partial);
    Send(message);
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
