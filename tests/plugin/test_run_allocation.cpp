// run() must not touch the heap: every allocation in this program is counted, as in the
// engine's tests, and none may happen inside a run() call.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "plugin/plugin_ports.h"
#include "plugin_host.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace murmex::test {
namespace {

TEST(PluginRun, AllocatesNothingWhateverTheBlocksAndControls) {
    LilvHost host;
    for (const char* uri : {kMonoPluginUri, kStereoPluginUri}) {
        HostedPlugin plugin(host, uri);
        // Every control moved every tenth of a second through its values.
        std::vector<ControlChange> changes;
        for (uint32_t step = 0; step < 40; ++step) {
            for (uint32_t port = kPortApply; port <= kPortCaptureMinima; ++port) {
                changes.push_back({step * 4410u + step % 3, port, static_cast<float>((port + step) % 2)});
            }
            changes.push_back({step * 4410u + step % 3, kPortBias, static_cast<float>(step) - 20.0f});
            changes.push_back({step * 4410u + step % 3, kPortReduction, 100.0f + 25.0f * static_cast<float>(step)});
        }
        long inside = 0;
        plugin.Run(TestSignal(plugin.Channels(), 4 * 44100, 2), 3, changes, [&](bool before) {
            inside += before ? -allocations.load() : allocations.load();
        });
        EXPECT_EQ(inside, 0) << uri;
    }
}

}  // namespace
}  // namespace murmex::test
