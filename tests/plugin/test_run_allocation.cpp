// run() must not touch the heap: every allocation in this program is counted, as in the
// engine's tests, and none may happen inside a run() call.
#include <gtest/gtest.h>

#include "plugin/plugin_ports.h"
#include "plugin_host.h"
#include "tests/engine/allocation_count.h"

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
            inside += before ? -AllocationsSoFar() : AllocationsSoFar();
        });
        EXPECT_EQ(inside, 0) << uri;
    }
}

}  // namespace
}  // namespace murmex::test
