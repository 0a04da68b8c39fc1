// The bundle loaded by a real LV2 host (liblilv), checked sample for sample against the engine's
// own block contract.
#include <gtest/gtest.h>

#include <filesystem>
#include <latch>
#include <thread>

#include "plugin/plugin_ports.h"
#include "plugin_test_support.h"

namespace murmex::test {
namespace {

struct Layout {
    const char* uri;
    int channels;
};
constexpr Layout kLayouts[] = {{kMonoPluginUri, 1}, {kStereoPluginUri, 2}};
constexpr NoiseReductionMethod kMethods[] = {NoiseReductionMethod::Classic, NoiseReductionMethod::Adaptive};

float MethodValue(NoiseReductionMethod method) { return method == NoiseReductionMethod::Adaptive ? 1.0f : 0.0f; }

uint64_t At(double seconds) { return static_cast<uint64_t>(seconds * kTestRate); }

// Every switch flipped somewhere in the file, the sliders moved and the method changed, at frames
// that fall inside engine blocks as well as on their edges.
std::vector<ControlChange> FlipsMidFile(NoiseReductionMethod method, int channels) {
    const auto edge = static_cast<uint64_t>(BlockFrames(channels)) * 30;
    const float other = 1.0f - MethodValue(method);
    return {{0, kPortMethod, MethodValue(method)},
            {At(0.5), kPortApply, 0.0f},       {At(0.8) + 7, kPortApply, 1.0f},
            {edge, kPortDetail, 1.0f},         {At(1.1), kPortDcOffset, 1.0f},
            {At(1.3), kPortCaptureMinima, 1.0f}, {At(1.6), kPortStopEstimation, 1.0f},
            {At(1.9), kPortCaptureMinima, 0.0f}, {At(2.0), kPortStopEstimation, 0.0f},
            {At(2.1), kPortBias, 6.0f},        {At(2.2), kPortReduction, 1000.0f},
            {At(2.4), kPortMethod, other},     {At(2.7), kPortDetail, 0.0f},
            {At(2.9), kPortMethod, MethodValue(method)}};
}

class PluginHosted : public ::testing::Test {
protected:
    LilvHost host;
};

TEST_F(PluginHosted, OutputIsTheEnginesOneBlockLaterWhateverTheBlockSizes) {
    for (const Layout& layout : kLayouts) {
        for (NoiseReductionMethod method : kMethods) {
            SCOPED_TRACE(std::string(layout.uri) + ", " + std::string(MethodName(method)));
            const std::vector<int16_t> input = TestSignal(layout.channels, At(3.2), 7);
            const std::vector<ControlChange> changes = FlipsMidFile(method, layout.channels);
            const std::vector<int16_t> engine = EngineOutput(layout.channels, input, changes);

            std::vector<float> fixed;
            for (unsigned seed : {0u, 1u, 2u}) {
                HostedPlugin plugin(host, layout.uri, kTestRate);
                const std::vector<float> output =
                    plugin.Run(input, seed == 0 ? FixedBlocks(1024) : RandomBlocks(seed), changes);
                std::string where;
                EXPECT_EQ(CountMismatches(output, engine, layout.channels, where), 0u) << "seed " << seed << ": " << where;
                EXPECT_EQ(plugin.Latency(), 2 * BlockFrames(layout.channels));
                if (seed == 0) fixed = output;
                EXPECT_TRUE(output == fixed) << "random blocks, seed " << seed;
            }
        }
    }
}

TEST_F(PluginHosted, RestoredNoisePrintContinuesAsTheEngineDoesAfterLearning) {
    struct Case {
        Layout layout;
        NoiseReductionMethod method;
        bool frozen;  // "Stop noise estimation" on while the restored print is used
    };
    const Case cases[] = {{kLayouts[0], NoiseReductionMethod::Classic, true},
                          {kLayouts[1], NoiseReductionMethod::Classic, false},
                          {kLayouts[0], NoiseReductionMethod::Adaptive, false},
                          {kLayouts[1], NoiseReductionMethod::Adaptive, true}};
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("murmex-plugin-state-" + std::to_string(::getpid()));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.layout.uri) + ", " + std::string(MethodName(c.method)) + (c.frozen ? ", frozen" : ""));
        std::filesystem::remove_all(folder);
        // Whole engine blocks: the plugin has learnt from those it has completed.
        const std::vector<int16_t> learn = TestSignal(c.layout.channels, 64 * 1024, 3);
        const std::vector<int16_t> later = TestSignal(c.layout.channels, At(1.5), 4);
        const std::vector<ControlChange> learnChanges{{0, kPortMethod, MethodValue(c.method)},
                                                      {0, kPortCaptureMinima, 1.0f}};
        const std::vector<ControlChange> laterChanges{{0, kPortStopEstimation, c.frozen ? 1.0f : 0.0f}};
        {
            HostedPlugin learner(host, c.layout.uri, kTestRate);
            learner.Run(learn, RandomBlocks(5), learnChanges);
            learner.SaveState(folder.string());
        }
        HostedPlugin restored(host, c.layout.uri, kTestRate);
        restored.RestoreState(folder.string());
        const std::vector<float> output = restored.Run(later, RandomBlocks(6), laterChanges);

        const std::vector<int16_t> engine =
            EngineOutputAfterLearning(c.layout.channels, learn, learnChanges, later, laterChanges);
        std::string where;
        EXPECT_EQ(CountMismatches(output, engine, c.layout.channels, where), 0u) << where;
        // Without the print the same audio comes out otherwise.
        EXPECT_NE(CountMismatches(output, EngineOutput(c.layout.channels, later, learnChanges),
                                  c.layout.channels, where), 0u);
    }
    std::filesystem::remove_all(folder);
}

TEST_F(PluginHosted, TwoInstancesMadeAtOnceOnTwoThreadsBothProcessAlike) {
    const std::vector<int16_t> input = TestSignal(2, At(1.0), 9);
    const std::vector<int16_t> engine = EngineOutput(2, input, {});
    const HostedPlugin loaded(host, kStereoPluginUri, kTestRate);
    std::latch start(2);
    std::vector<float> outputs[2];
    auto work = [&](int i) {
        start.arrive_and_wait();
        HostedPlugin plugin(loaded, kTestRate);
        outputs[i] = plugin.Run(input, RandomBlocks(10 + i));
    };
    std::thread first(work, 0);
    std::thread second(work, 1);
    first.join();
    second.join();
    for (const auto& output : outputs) {
        std::string where;
        EXPECT_EQ(CountMismatches(output, engine, 2, where), 0u) << where;
    }
}

TEST_F(PluginHosted, SavingWhileAnotherThreadRunsTakesTheNoisePrintBetweenBlocks) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("murmex-plugin-live-state-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    const std::vector<int16_t> input = TestSignal(1, At(4.0), 11);
    HostedPlugin running(host, kMonoPluginUri, kTestRate);
    std::latch started(2);
    std::thread audio([&] {
        running.Run(input, FixedBlocks(256), {}, [&, first = true](bool before) mutable {
            if (before && first) started.arrive_and_wait();
            first = false;
        });
    });
    started.arrive_and_wait();
    running.SaveState(folder.string());
    audio.join();

    // The print is one the engine learnt: the restored plugin cleans from its first blocks on,
    // where a fresh one has not learnt anything yet.
    const std::vector<int16_t> later = TestSignal(1, At(0.5), 12);
    HostedPlugin restored(host, kMonoPluginUri, kTestRate);
    restored.RestoreState(folder.string());
    HostedPlugin fresh(host, kMonoPluginUri, kTestRate);
    EXPECT_NE(restored.Run(later, FixedBlocks(256)), fresh.Run(later, FixedBlocks(256)));
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace murmex::test
