#pragma once
// murmex-cli as the hostile-input and output-fault tests run it: in a child under a wall-clock
// and an address-space limit, with the checks every run shares.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/export/wav_test_files.h"
#include "tests/hostile/child_run.h"

namespace murmex::testing {

// A few hundred MiB at most: the program needs about 40 MiB for any input.
constexpr long kMaxPeakRssKiB = 256 * 1024;

inline ChildLimits CliLimits(std::chrono::seconds wallClock) {
    ChildLimits limits;
    limits.WallClock = wallClock;
    limits.AddressSpaceBytes = 1ull << 30;
    return limits;
}

// Ended on its own, with status 0 or 1, within the memory allowance.
inline void ExpectOrderlyEnd(const ChildOutcome& outcome) {
    EXPECT_FALSE(outcome.KilledAtLimit) << outcome.Describe();
    EXPECT_EQ(outcome.Signal, 0) << outcome.Describe();
    EXPECT_TRUE(outcome.ExitCode == 0 || outcome.ExitCode == 1) << outcome.Describe();
    EXPECT_LT(outcome.PeakRssKiB, kMaxPeakRssKiB) << outcome.Describe();
}

}  // namespace murmex::testing
