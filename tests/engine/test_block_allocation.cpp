// Processing a block must not touch the heap: count every allocation in this program.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "allocation_count.h"
#include "engine_test_support.h"

namespace murmex::test {
namespace {

TEST(BlockAllocation, ProcessingABlockAllocatesNothing) {
    for (auto [channels, method] : {std::pair{1, NoiseReductionMethod::Classic}, std::pair{2, NoiseReductionMethod::Classic},
                                    std::pair{1, NoiseReductionMethod::Adaptive}, std::pair{2, NoiseReductionMethod::Adaptive}}) {
        LoadedEngine loaded(channels);
        loaded.options.Method = method;
        loaded.options.DetailAmplifier = true;
        loaded.options.CaptureMinima = true;
        loaded.options.DcOffsetCorrection = true;
        VectorSource source(MakeSignal(8 * SpectralEngine::kBlockSamples, [](size_t n) { return Sine(n, 5000.0, 0.01); }));
        const long before = AllocationsSoFar();
        for (int block = 0; block < 8; ++block) RunBlockContract(*loaded.engine, source, block % 2 == 0);
        EXPECT_EQ(AllocationsSoFar(), before) << channels << " channel(s), " << MethodName(method);
    }
}

// A save's runs of blocks, with the second channel on its own thread: the handing over allocates
// nothing either (the thread is made when the save is set up).
TEST(BlockAllocation, RunsOfBlocksOnTwoThreadsAllocateNothing) {
    for (auto method : {NoiseReductionMethod::Classic, NoiseReductionMethod::Adaptive}) {
        LoadedEngine loaded(2);
        loaded.options.Method = method;
        loaded.options.CaptureMinima = true;
        loaded.engine->SetChannelThreads(2);
        const auto input = MakeSignal(SpectralEngine::kMaxBatchBlocks * SpectralEngine::kBlockSamples,
                                      [](size_t n) { return Sine(n, 5000.0, 0.01); });
        std::vector<int16_t> output(input.size());
        const long before = AllocationsSoFar();
        for (int run = 0; run < 3; ++run) {
            loaded.engine->ProcessBlocks(input.data(), output.data(), SpectralEngine::kMaxBatchBlocks);
        }
        EXPECT_EQ(AllocationsSoFar(), before) << MethodName(method);
    }
}

}  // namespace
}  // namespace murmex::test
