#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "pipeline/au_exception.h"
#include "pipeline/memory_in.h"

namespace murmex {
namespace {

class MemoryInTest : public ::testing::Test {
protected:
    MemoryInTest() : Block(2048) {
        std::iota(Block.begin(), Block.end(), uint8_t{0});
        Input.SetBufferPointer(Block.data());
        Input.SetBufferBytes(2048);
        Input.OnBufferDone = [this](TMemoryIn& sender) {
            ++Refills;
            if (Refill) Refill(sender);
        };
    }

    std::size_t Read(std::size_t wanted = 16384) {
        Last = nullptr;
        std::size_t bytes = wanted;
        Input.GetBlock(Last, bytes);
        return bytes;
    }

    std::vector<uint8_t> Block;
    TMemoryIn Input;
    int Refills = 0;
    std::function<void(TMemoryIn&)> Refill;
    const uint8_t* Last = nullptr;
};

TEST_F(MemoryInTest, ServesTheBlockOnceThenAsksForTheNext) {
    Input.StartInput();
    EXPECT_EQ(Input.StreamSize(), 2048);
    EXPECT_EQ(Read(), 2048u);
    EXPECT_EQ(Last, Block.data());
    EXPECT_EQ(Refills, 0);

    // The handler puts a 1000-byte block in place: the same call serves it.
    Refill = [](TMemoryIn& sender) {
        sender.SetBufferBytes(1000);
        sender.StartInput();
    };
    EXPECT_EQ(Read(), 1000u);
    EXPECT_EQ(Refills, 1);
    EXPECT_EQ(Last, Block.data());
    EXPECT_EQ(Input.ReadPosition(), 1000);

    // Pieces never exceed what the caller asks for, nor cross into the next block.
    Refill = [](TMemoryIn& sender) { sender.StartInput(); };
    EXPECT_EQ(Read(600), 600u);
    EXPECT_EQ(Read(600), 400u);
    EXPECT_EQ(Last, Block.data() + 600);

    // A handler that leaves no bytes ends the input in the call that raised it.
    Refill = [](TMemoryIn& sender) { sender.SetBufferBytes(0); };
    EXPECT_EQ(Read(), 0u);
    EXPECT_EQ(Last, nullptr);
}

TEST_F(MemoryInTest, RepeatCountServesTheBlockThatManyTimes) {
    Input.SetRepeatCount(3);
    Input.StartInput();
    EXPECT_EQ(Input.StreamSize(), 3 * 2048);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Read(), 2048u) << "serving " << i;
    EXPECT_EQ(Refills, 0);
    Refill = [](TMemoryIn& sender) { sender.FinishInput(); };
    EXPECT_EQ(Read(), 0u);
    EXPECT_EQ(Refills, 1);
}

TEST_F(MemoryInTest, NegativeRepeatCountServesEndlessly) {
    Input.SetRepeatCount(-1);
    Input.StartInput();
    EXPECT_EQ(Input.StreamSize(), -1);
    for (int i = 0; i < 20; ++i) ASSERT_EQ(Read(), 2048u);
    EXPECT_EQ(Refills, 0);
}

TEST_F(MemoryInTest, ZeroRepeatCountDoesNotRepeatForEver) {
    Input.SetRepeatCount(0);
    Input.OnBufferDone = nullptr;
    Input.StartInput();
    EXPECT_EQ(Input.StreamSize(), 0);
    EXPECT_EQ(Read(), 2048u);
    EXPECT_EQ(Read(), 0u);
}

TEST_F(MemoryInTest, FillBlockGathersAcrossRefillsUntilTheEnd) {
    int blocks = 1;
    Refill = [&](TMemoryIn& sender) {
        if (blocks++ < 3) {
            sender.StartInput();
        } else {
            sender.SetBufferBytes(0);
        }
    };
    Input.StartInput();
    std::vector<uint8_t> dest(10000);
    bool end = false;
    EXPECT_EQ(Input.FillBlock(dest.data(), 5000, end), 5000u);
    EXPECT_FALSE(end);
    EXPECT_EQ(dest[2048], 0);  // the second block starts again at the block's first byte
    EXPECT_EQ(dest[4999], Block[4999 - 4096]);
    EXPECT_EQ(Input.FillBlock(dest.data(), 5000, end), 3 * 2048u - 5000u);
    EXPECT_TRUE(end);
}

TEST_F(MemoryInTest, AbsentBufferIsTheEndAndAClosedInputRefusesToRead) {
    EXPECT_THROW(
        {
            try {
                Read();
            } catch (const EAuException& error) {
                EXPECT_STREQ(error.what(), "The Stream is not opened");
                throw;
            }
        },
        EAuException);
    Input.SetBufferPointer(nullptr);
    Input.StartInput();
    EXPECT_EQ(Read(), 0u);
    EXPECT_EQ(Refills, 0);
}

// The rate reaches the writers as declared, however unusual: a replaced rate would make them
// declare one the samples are not at. Odd bit depths are still replaced.
TEST(MemoryInFormat, RateIsPassedOnUnchangedAndOddBitsAreReplaced) {
    TMemoryIn input;
    EXPECT_EQ(input.InBitsPerSample(), 16u);
    EXPECT_EQ(input.InChannels(), 2u);
    EXPECT_EQ(input.InSampleRate(), 44100u);
    for (const unsigned rate : {0u, 1000u, 1999u, 96000u, 96001u, 192000u, 768000u, 4000000000u}) {
        input.SetInSampleRate(rate);
        EXPECT_EQ(input.InSampleRate(), rate);
    }
    input.SetInBitsPerSample(12);
    EXPECT_EQ(input.InBitsPerSample(), 16u);
    input.SetInBitsPerSample(24);
    EXPECT_EQ(input.InBitsPerSample(), 24u);
    input.SetInChannels(6);
    EXPECT_EQ(input.InChannels(), 6u);
}

// Sizes are the caller's: a product past 64 bits saturates instead of wrapping to a negative
// (endless) size.
TEST_F(MemoryInTest, AnnouncedSizeSaturates) {
    const std::pair<int32_t, int64_t> cases[] = {{3, INT64_MAX}, {1, INT64_MAX / 2}, {-1, -1}, {0, 0}};
    for (const auto& [repeats, size] : cases) {
        Input.SetBufferBytes(INT64_MAX / 2);
        Input.SetRepeatCount(repeats);
        Input.StartInput();
        EXPECT_EQ(Input.StreamSize(), size) << repeats;
    }
}

class FailingStartInput : public TMemoryIn {
protected:
    void StartImpl() override { throw std::runtime_error("device gone"); }
};

TEST(InputStart, FailureIsRaisedWithTheInnerMessageAndRemembered) {
    FailingStartInput input;
    try {
        input.StartInput();
        FAIL() << "StartInput did not raise";
    } catch (const EAuException& error) {
        EXPECT_STREQ(error.what(), "device gone");
    }
    EXPECT_TRUE(input.StartFailed());
    input.ResetInput();  // closing a half-started input raises nothing
}

}  // namespace
}  // namespace murmex
