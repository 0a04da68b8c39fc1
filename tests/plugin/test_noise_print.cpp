// A noise print comes back from a session file, which may be damaged or from another version.
#include <gtest/gtest.h>

#include "../engine/engine_test_support.h"
#include "engine/learnt_noise.h"

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

}  // namespace
}  // namespace murmex::test
