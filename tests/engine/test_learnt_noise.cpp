// A stored noise print is checked value by value before it goes into an engine.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "engine_test_support.h"

namespace murmex::test {
namespace {

using Kind = LearntNoise::StoredValues::Kind;
constexpr size_t kBlock = SpectralEngine::kBlockSamples;

// What runs leave behind is accepted and comes back bit for bit, in the bytes and in what the
// restored engine does next. Each run learns with the classic method, then the adaptive one.
TEST(LearntNoiseValues, StatesRunsLeaveComeBackBitForBit) {
    struct Case {
        const char* what;
        int channels;
        double deviation;  // of the Gaussian noise learnt from
        double offset;
        bool stopEstimation;
        NoiseReductionMethod later;
    };
    const std::vector<double> noise = GaussianNoise(32 * kBlock, 2000.0, 5);
    for (const Case& c : {Case{"noise", 1, 2000.0, 0.0, false, NoiseReductionMethod::Adaptive},
                          Case{"full-scale offset", 1, 0.0, 32767.0, false, NoiseReductionMethod::Classic},
                          Case{"full-scale offset", 2, 0.0, 32767.0, false, NoiseReductionMethod::Adaptive},
                          Case{"silence, stopped from the start", 1, 0.0, 0.0, true, NoiseReductionMethod::Adaptive},
                          Case{"silence, stopped from the start", 2, 0.0, 0.0, true, NoiseReductionMethod::Classic}}) {
        SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(c.channels) + " channels");
        LoadedEngine original(c.channels);
        original.options.CaptureMinima = true;
        original.options.StopNoiseEstimation = c.stopEstimation;
        const auto learn = MakeSignal(noise.size(), [&](size_t n) { return noise[n] * c.deviation / 2000.0 + c.offset; });
        for (const auto method : {NoiseReductionMethod::Classic, NoiseReductionMethod::Adaptive}) {
            original.options.Method = method;
            RunAll(*original.engine, learn, true);
        }
        LearntNoise learnt;
        learnt.Capture(*original.engine);
        const std::vector<uint8_t> bytes = learnt.Encode();
        // Silence first: a tracker that never ran must not turn it into NaN.
        original.options.StopNoiseEstimation = false;
        original.options.Method = c.later;
        const auto later = MakeSignal(24 * kBlock, [&](size_t n) { return n < 8 * kBlock ? 0.0 : noise[n]; });
        original.engine->PrepareEngineKeepingNoise();
        const std::vector<int16_t> expected = RunAll(*original.engine, later, true);
        EXPECT_GT(Rms(expected, 12 * kBlock), 100.0);
        LearntNoise decoded;
        ASSERT_TRUE(decoded.Decode(bytes));
        EXPECT_EQ(decoded.Encode(), bytes);
        LoadedEngine restored(c.channels);
        restored.options.CaptureMinima = true;
        restored.options.Method = c.later;
        decoded.Restore(*restored.engine);
        EXPECT_EQ(RunAll(*restored.engine, later, true), expected);
    }
}

// NaN, infinities, negative and huge values anywhere in a checked run are refused, and the
// refusal changes nothing; the run's own lowest value in the same place is taken.
TEST(LearntNoiseValues, ValuesOutsideTheirRangesAreRefused) {
    LoadedEngine loaded(2);
    RunAll(*loaded.engine, MakeSignal(16 * kBlock, [](size_t n) { return Sine(n, 3000.0, 0.01); }), true);
    LearntNoise learnt;
    learnt.Capture(*loaded.engine);
    const std::vector<uint8_t> good = learnt.Encode();
    for (const auto& run : LearntNoise::CheckedValues()) {
        const double huge = std::min(run.highest * 4.0, static_cast<double>(FLT_MAX));
        const std::vector<double> bad =
            run.kind == Kind::Number ? std::vector<double>{NAN, INFINITY, -INFINITY, -1.0, huge}
                                     : std::vector<double>{-1.0, std::numeric_limits<int32_t>::min()};
        for (const size_t index : {size_t{0}, run.count / 2, run.count - 1}) {
            for (const double value : bad) {
                std::vector<uint8_t> bytes = good;
                SetStoredValue(bytes, run, index, value);
                LearntNoise decoded = learnt;
                EXPECT_FALSE(decoded.Decode(bytes)) << run.name << "[" << index << "] = " << value;
                EXPECT_EQ(decoded.Encode(), good) << run.name;
            }
            std::vector<uint8_t> bytes = good;
            SetStoredValue(bytes, run, index, run.lowest);
            EXPECT_TRUE(LearntNoise().Decode(bytes)) << run.name << "[" << index << "] = " << run.lowest;
        }
    }
}

}  // namespace
}  // namespace murmex::test
