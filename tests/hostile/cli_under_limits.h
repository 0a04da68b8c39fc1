#pragma once
// murmex-cli as the hostile-input and output-fault tests run it: in a child under a wall-clock
// and an address-space limit, with the checks every run shares.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/export/wav_test_files.h"
#include "tests/hostile/child_run.h"

namespace murmex::testing {

#ifdef MURMEX_SANITIZED_CHILD
constexpr bool kSanitizedChild = true;
#else
constexpr bool kSanitizedChild = false;
#endif

// A few hundred MiB at most: the program needs about 40 MiB for any input. A sanitized build
// keeps freed memory in quarantine and shadows all of it, so it gets more.
constexpr long kMaxPeakRssKiB = (kSanitizedChild ? 1024 : 256) * 1024;

// A sanitized build reserves terabytes of address space and runs several times slower.
inline ChildLimits CliLimits(std::chrono::seconds wallClock) {
    ChildLimits limits;
    limits.WallClock = kSanitizedChild ? wallClock * 6 : wallClock;
    limits.AddressSpaceBytes = kSanitizedChild ? 0 : 1ull << 30;
    return limits;
}

// Ended on its own, with status 0 or 1, within the memory allowance. The files are saved by
// worker processes, whose crashes the program reports as failures of their files: those count
// as crashes here too.
inline void ExpectOrderlyEnd(const ChildOutcome& outcome) {
    EXPECT_FALSE(outcome.KilledAtLimit) << outcome.Describe();
    EXPECT_EQ(outcome.Signal, 0) << outcome.Describe();
    EXPECT_EQ(outcome.Err.find(": crashed with signal "), std::string::npos) << outcome.Describe();
    EXPECT_TRUE(outcome.ExitCode == 0 || outcome.ExitCode == 1) << outcome.Describe();
    EXPECT_LT(outcome.PeakRssKiB, kMaxPeakRssKiB) << outcome.Describe();
}

}  // namespace murmex::testing
