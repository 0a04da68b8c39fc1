// The output side: start-up with and without a device, and the push stream's queue. Run with
// SDL_AUDIODRIVER=dummy, which plays silently at real-time pace.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "source/bass.h"

namespace murmex {
namespace {

class PushStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)); }
  void TearDown() override { BASS_Free(); }
};

TEST_F(PushStreamTest, QueueDrainsWhilePlayingAndStopDiscardsIt) {
  ASSERT_TRUE(BASS_Start());
  const HSTREAM stream = BASS_StreamCreate(22050, 2, 0, STREAMPROC_PUSH, nullptr);
  ASSERT_NE(stream, 0u);
  const std::vector<uint8_t> second(22050 * 4, 0);  // one second of stereo silence
  EXPECT_EQ(BASS_StreamPutData(stream, second.data(), static_cast<uint32_t>(second.size())), second.size());
  EXPECT_EQ(BASS_ChannelGetData(stream, nullptr, BASS_DATA_AVAILABLE), second.size());
  EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(stream, second.size()), 1.0);
  EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_STOPPED);

  // Nothing is heard before Play: the queue waits.
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(BASS_ChannelGetData(stream, nullptr, BASS_DATA_AVAILABLE), second.size());

  EXPECT_TRUE(BASS_ChannelPlay(stream, false));
  EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_PLAYING);
  uint32_t queued = BASS_ChannelGetData(stream, nullptr, BASS_DATA_AVAILABLE);
  for (int i = 0; i < 100 && queued == second.size(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    queued = BASS_ChannelGetData(stream, nullptr, BASS_DATA_AVAILABLE);
  }
  EXPECT_LT(queued, second.size());
  EXPECT_GT(queued, 0u);

  EXPECT_TRUE(BASS_ChannelStop(stream));
  EXPECT_EQ(BASS_ChannelGetData(stream, nullptr, BASS_DATA_AVAILABLE), 0u);
  EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_STOPPED);
}

TEST_F(PushStreamTest, PlayWithRestartStartsFromAnEmptyQueue) {
  const HSTREAM stream = BASS_StreamCreate(44100, 1, 0, STREAMPROC_PUSH, nullptr);
  ASSERT_NE(stream, 0u);
  const std::vector<uint8_t> block(2048, 0);
  BASS_StreamPutData(stream, block.data(), 2048);
  EXPECT_TRUE(BASS_ChannelPlay(stream, true));
  EXPECT_EQ(BASS_ChannelGetData(stream, nullptr, BASS_DATA_AVAILABLE), 0u);
  EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_STALLED);
  // A partial frame is never queued.
  EXPECT_EQ(BASS_StreamPutData(stream, block.data(), 3), 2u);
}

TEST_F(PushStreamTest, PushCallsRefuseDecodingStreamsAndTheOtherWayRound) {
  const HSTREAM stream = BASS_StreamCreate(44100, 2, 0, STREAMPROC_PUSH, nullptr);
  uint8_t block[64] = {};
  EXPECT_EQ(BASS_ChannelGetData(stream, block, sizeof block), BASS_COUNT_ERROR);
  EXPECT_FALSE(BASS_ChannelSetPosition(stream, 0, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), BASS_POSITION_ERROR);
  EXPECT_EQ(BASS_StreamPutData(0, block, sizeof block), BASS_COUNT_ERROR);
  EXPECT_FALSE(BASS_ChannelPlay(0, true));
  EXPECT_EQ(BASS_StreamCreate(44100, 2, 0, nullptr, nullptr), 0u);
}

TEST(OutputStartTest, InitTwiceFailsAndFreeAllowsAnother) {
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
  EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
  EXPECT_TRUE(BASS_Free());
  EXPECT_FALSE(BASS_Free());
  EXPECT_FALSE(BASS_Start());
}

TEST(OutputStartTest, NoOutputDeviceDecodesButMakesNoPushStream) {
  ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_StreamCreate(44100, 2, 0, STREAMPROC_PUSH, nullptr), 0u);
  BASS_Free();
}

TEST(OutputStartTest, InitFailsWhenNoDeviceCanBeOpened) {
  const char* previous = std::getenv("SDL_AUDIODRIVER");
  const std::string saved = previous != nullptr ? previous : "";
  ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
  if (previous != nullptr) {
    ::setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
  } else {
    ::unsetenv("SDL_AUDIODRIVER");
  }
  EXPECT_FALSE(BASS_Free());
}

}  // namespace
}  // namespace murmex
