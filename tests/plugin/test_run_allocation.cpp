// run() must not touch the heap: every allocation of this program is counted, as in the engine's
// tests, and none may happen inside a run() call.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "plugin/plugin_ports.h"
#include "plugin_test_support.h"

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
        HostedPlugin plugin(host, uri, kTestRate);
        std::vector<ControlChange> changes;
        // Every control moved every tenth of a second, through all their values.
        for (uint64_t step = 0; step < 40; ++step) {
            const uint64_t frame = step * 4410 + step % 3;
            const float on = step % 2 == 0 ? 1.0f : 0.0f;
            for (uint32_t port : {kPortApply, kPortMethod, kPortDcOffset, kPortDetail, kPortStopEstimation, kPortCaptureMinima}) {
                changes.push_back({frame, port, (port + step) % 3 == 0 ? on : 1.0f - on});
            }
            changes.push_back({frame, kPortBias, static_cast<float>(static_cast<int>(step % 41) - 20)});
            changes.push_back({frame, kPortReduction, static_cast<float>(100 + 25 * step)});
        }
        long inside = 0;
        long before = 0;
        plugin.Run(TestSignal(plugin.Channels(), 4 * 44100, 2), RandomBlocks(3), changes, [&](bool starting) {
            if (starting) {
                before = allocations.load();
            } else {
                inside += allocations.load() - before;
            }
        });
        EXPECT_EQ(inside, 0) << uri;
    }
}

}  // namespace
}  // namespace murmex::test
