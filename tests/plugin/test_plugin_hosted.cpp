// The bundle in a real LV2 host (liblilv), sample for sample against the engine's block contract.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <latch>
#include <thread>

#include "plugin/plugin_ports.h"
#include "plugin_host.h"

namespace murmex::test {
namespace {

struct Layout {
    const char* uri;
    int channels;
};
constexpr Layout kMono{kMonoPluginUri, 1};
constexpr Layout kStereo{kStereoPluginUri, 2};

uint64_t At(double seconds) { return static_cast<uint64_t>(seconds * kTestRate); }

std::string Folder(const char* name) {
    return (std::filesystem::temp_directory_path() / (name + std::to_string(::getpid()))).string();
}

TEST(PluginHosted, OutputIsTheEnginesOneBlockLaterWhateverTheBlocksAndSwitches) {
    for (const Layout& layout : {kMono, kStereo}) {
        for (const float method : {0.0f, 1.0f}) {
            SCOPED_TRACE(std::string(layout.uri) + (method > 0 ? ", adaptive" : ", classic"));
            // Every switch flipped, the sliders moved and the method changed mid-file, inside
            // engine blocks and on an edge of one.
            const std::vector<ControlChange> changes{
                {0, kPortMethod, method},           {At(0.5), kPortApply, 0},           {At(0.8) + 7, kPortApply, 1},
                {30u * 1024 / layout.channels, kPortDetail, 1}, {At(1.1), kPortDcOffset, 1}, {At(1.3), kPortCaptureMinima, 1},
                {At(1.6), kPortStopEstimation, 1}, {At(1.9), kPortCaptureMinima, 0},   {At(2.0), kPortStopEstimation, 0},
                {At(2.1), kPortBias, 6},            {At(2.2), kPortReduction, 1000},    {At(2.4), kPortMethod, 1 - method},
                {At(2.7), kPortDetail, 0},          {At(2.9), kPortMethod, method}};
            const std::vector<int16_t> input = TestSignal(layout.channels, At(3.2), 7);
            const std::vector<int16_t> engine = EngineOutput(layout.channels, input, changes);
            LilvHost host;
            std::vector<float> fixedBlocks;
            for (unsigned seed : {0u, 1u, 2u}) {
                HostedPlugin plugin(host, layout.uri);
                const std::vector<float> output = plugin.Run(input, seed, changes);
                std::string where;
                EXPECT_EQ(CountMismatches(output, engine, where), 0u) << "seed " << seed << ", " << where;
                EXPECT_EQ(plugin.Latency(), 2 * 1024 / layout.channels);
                if (seed == 0) fixedBlocks = output;
                EXPECT_TRUE(output == fixedBlocks) << "seed " << seed;
            }
        }
    }
}

// The bundle's Method port starts where the window and murmex-cli start; the positions hosts
// store stay put, so a session that stored Classic gets the classic engine (the cases above).
TEST(PluginHosted, MethodPortDefaultIsTheProductDefault) {
    LilvHost host;
    for (const char* uri : {kMonoPluginUri, kStereoPluginUri}) {
        const LilvPlugin* plugin = host.Plugin(uri);
        std::vector<float> defaults(lilv_plugin_get_num_ports(plugin));
        lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
        EXPECT_EQ(defaults[kPortMethod], MethodPosition(kDefaultMethod)) << uri;
    }
}

TEST(PluginHosted, SessionKeepsTheLearntNoiseAsTheEngineKeepsIt) {
    struct Case {
        Layout layout;
        float method;
        float frozen;  // "Stop noise estimation" while the restored noise is used
    };
    const std::string folder = Folder("murmex-plugin-state-");
    LilvHost host;
    for (const Case& c : {Case{kMono, 0, 1}, Case{kStereo, 0, 0}, Case{kMono, 1, 0}, Case{kStereo, 1, 1}}) {
        SCOPED_TRACE(std::string(c.layout.uri) + (c.method > 0 ? ", adaptive" : ", classic") + (c.frozen > 0 ? ", frozen" : ""));
        std::filesystem::remove_all(folder);
        // Whole engine blocks: the plugin has learnt from the blocks it has completed.
        const std::vector<int16_t> learn = TestSignal(c.layout.channels, 64 * 1024, 3);
        const std::vector<int16_t> later = TestSignal(c.layout.channels, At(1.5), 4);
        const std::vector<ControlChange> settings{{0, kPortMethod, c.method}, {0, kPortCaptureMinima, 1}};
        std::vector<ControlChange> laterSettings = settings;
        laterSettings.push_back({0, kPortStopEstimation, c.frozen});
        {
            HostedPlugin learner(host, c.layout.uri);
            learner.Run(learn, 5, settings);
            learner.SaveState(folder);
        }
        HostedPlugin restored(host, c.layout.uri);
        restored.RestoreState(folder);
        const std::vector<float> output = restored.Run(later, 6, laterSettings);
        std::string where;
        EXPECT_EQ(CountMismatches(output, EngineOutput(c.layout.channels, later, laterSettings, learn, settings), where), 0u)
            << where;
        // Without the noise print the same audio comes out otherwise.
        EXPECT_NE(CountMismatches(output, EngineOutput(c.layout.channels, later, laterSettings), where), 0u);
    }
    std::filesystem::remove_all(folder);
}

TEST(PluginHosted, TwoInstancesMadeAtOnceOnTwoThreadsBothProcessAlike) {
    const std::vector<int16_t> input = TestSignal(2, At(1.0), 9);
    const std::vector<int16_t> engine = EngineOutput(2, input, {});
    LilvHost host;
    const HostedPlugin loaded(host, kStereoPluginUri);
    std::latch start(2);
    std::vector<float> outputs[2];
    auto work = [&](int i) {
        start.arrive_and_wait();
        HostedPlugin plugin(loaded);
        outputs[i] = plugin.Run(input, 10 + i);
    };
    std::thread first(work, 0), second(work, 1);
    first.join();
    second.join();
    for (const auto& output : outputs) {
        std::string where;
        EXPECT_EQ(CountMismatches(output, engine, where), 0u) << where;
    }
}

TEST(PluginHosted, SavingWhileAnotherThreadRunsTakesALearntNoisePrint) {
    const std::string folder = Folder("murmex-plugin-live-state-");
    std::filesystem::remove_all(folder);
    LilvHost host;
    HostedPlugin running(host, kMonoPluginUri);
    std::latch started(2);
    std::thread audio([&] {
        running.Run(TestSignal(1, At(4.0), 11), 0, {}, [&, first = true](bool before) mutable {
            if (before && first) started.arrive_and_wait();
            first = false;
        });
    });
    started.arrive_and_wait();
    running.SaveState(folder);
    audio.join();
    // A fresh instance has learnt nothing yet; the restored one cleans from its first blocks on.
    const std::vector<int16_t> later = TestSignal(1, At(0.5), 12);
    HostedPlugin restored(host, kMonoPluginUri), fresh(host, kMonoPluginUri);
    restored.RestoreState(folder);
    EXPECT_NE(restored.Run(later, 0), fresh.Run(later, 0));
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace murmex::test
