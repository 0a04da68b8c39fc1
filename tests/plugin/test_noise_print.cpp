// A noise print comes back from a session file, which may be damaged or from another version.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>

#include "../engine/engine_test_support.h"
#include "engine/learnt_noise.h"
#include "plugin/plugin_ports.h"
#include "plugin_host.h"

namespace murmex::test {
namespace {

TEST(NoisePrint, RefusesBytesOfAnotherLayoutAndChangesNothing) {
    LoadedEngine loaded(2);
    RunAll(*loaded.engine, MakeSignal(16 * 1024, [](size_t n) { return Sine(n, 3000.0, 0.01); }), true);
    LearntNoise learnt;
    learnt.Capture(*loaded.engine);
    const std::vector<uint8_t> good = learnt.Encode();
    struct Damage {
        const char* what;
        size_t at;  // byte to set, or the length to cut to
        int value;  // -1: cut
    };
    // The header: tag, version, channels, sizes of the parts, the capture flag (4 bytes each).
    for (const Damage& d : {Damage{"cut short", good.size() - 1, -1}, Damage{"empty", 0, -1}, Damage{"tag", 0, 'X'},
                            Damage{"version", 4, 9}, Damage{"no channels", 8, 0}, Damage{"3 channels", 8, 3},
                            Damage{"array size", 12, 0}, Damage{"adaptive size", 16, 0}, Damage{"capture flag", 20, 2}}) {
        std::vector<uint8_t> bytes = good;
        if (d.value < 0) {
            bytes.resize(d.at);
        } else {
            bytes[d.at] = static_cast<uint8_t>(d.value);
        }
        LearntNoise decoded = learnt;
        EXPECT_FALSE(decoded.Decode(bytes)) << d.what;
        EXPECT_EQ(decoded.Encode(), good) << d.what;
    }
    LearntNoise decoded;
    ASSERT_TRUE(decoded.Decode(good));
    EXPECT_EQ(decoded.Channels(), 2);
    EXPECT_EQ(decoded.Encode(), good);
}

double Level(const std::vector<float>& output) {
    double sum = 0.0;
    for (const float v : output) sum += static_cast<double>(v) * v;
    return std::sqrt(sum / static_cast<double>(output.size()));
}

// Whatever a session holds, the plugin keeps sounding. A damaged value in any checked array (one
// kind of damage each, in turn) or random bytes behind a valid header are refused, and the
// plugin goes on from its fresh state; random values within the checked ranges are taken and
// still let noisy audio through, at no less than a thousandth of the fresh level (a damaged
// gain table used to give exact silence, the deepest frozen estimate gives about -34 dB).
TEST(NoisePrint, NoSessionSilencesThePlugin) {
    using Kind = LearntNoise::StoredValues::Kind;
    LoadedEngine learner(1);
    for (const auto method : {NoiseReductionMethod::Classic, NoiseReductionMethod::Adaptive}) {
        learner.options.Method = method;
        RunAll(*learner.engine, TestSignal(1, 24 * 1024, 20), true);
    }
    LearntNoise learnt;
    learnt.Capture(*learner.engine);
    const std::vector<uint8_t> good = learnt.Encode();
    const auto runs = LearntNoise::CheckedValues();

    struct Payload {
        std::string what;
        std::vector<uint8_t> bytes;
        bool taken;
    };
    std::vector<Payload> payloads;
    for (size_t i = 0; i < runs.size(); ++i) {
        const double damage = runs[i].kind == Kind::Count ? -5.0
                                                          : std::array<double, 4>{NAN, INFINITY, -1.0, FLT_MAX}[i % 4];
        std::vector<uint8_t> bytes = good;
        SetStoredValue(bytes, runs[i], runs[i].count / 2, damage);
        payloads.push_back({std::string(runs[i].name) + " = " + std::to_string(damage), bytes, false});
    }
    std::mt19937 rng(7);
    for (int seed = 0; seed < 4; ++seed) {
        std::vector<uint8_t> bytes = good;
        for (size_t i = runs[0].offset; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(rng());
        payloads.push_back({"random bytes", bytes, false});
        for (const auto& run : runs) {
            // Only the sizes a frame has are taken there: the good print's stays.
            if (std::string(run.name) == "adaptive frame bins") {
                std::copy_n(good.begin() + static_cast<std::ptrdiff_t>(run.offset), 4,
                            bytes.begin() + static_cast<std::ptrdiff_t>(run.offset));
                continue;
            }
            std::uniform_real_distribution<double> exponent(-30.0, std::log10(run.highest));
            for (size_t i = 0; i < run.count; ++i) {
                const double value = run.kind == Kind::Number ? (rng() % 8 == 0 ? 0.0 : std::pow(10.0, exponent(rng)))
                                                              : static_cast<double>(rng() % 1000);
                SetStoredValue(bytes, run, i, std::min(value, run.highest));
            }
        }
        payloads.push_back({"random values within range", bytes, true});
    }

    LilvHost host;
    const std::vector<int16_t> input = TestSignal(1, 16 * 1024, 21);
    for (const float method : {0.0f, 1.0f}) {
        // "Stop noise estimation" keeps the restored noise in use.
        const std::vector<ControlChange> settings{{0, kPortMethod, method}, {0, kPortStopEstimation, 1}, {0, kPortCaptureMinima, 1}};
        HostedPlugin fresh(host, kMonoPluginUri);
        const std::vector<float> freshOutput = fresh.Run(input, 0, settings);
        for (const Payload& payload : payloads) {
            SCOPED_TRACE(payload.what + (method > 0 ? ", adaptive" : ", classic"));
            HostedPlugin plugin(host, kMonoPluginUri);
            EXPECT_EQ(plugin.RestoreNoisePrint(payload.bytes) == LV2_STATE_SUCCESS, payload.taken);
            const std::vector<float> output = plugin.Run(input, 0, settings);
            EXPECT_TRUE(payload.taken || output == freshOutput);
            EXPECT_GT(Level(output), Level(freshOutput) / 1000.0);
        }
    }
}

}  // namespace
}  // namespace murmex::test
