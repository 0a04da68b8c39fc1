#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "pipeline/memory_in.h"
#include "pipeline/wave_out.h"
#include "tests/pipeline/pipeline_test_support.h"

namespace murmex {
namespace {

using test::EventLog;
using test::Le16At;
using test::Le32At;

// A memory input fed block by block like the export does: `blocks` full blocks, then one of
// `lastBytes`, then the refill handler stops the writer.
struct BlockFeeder {
    std::vector<uint8_t> Block = std::vector<uint8_t>(2048);
    TMemoryIn Input;
    int BlocksLeft;
    int64_t LastBytes;
    bool StopWriter = true;

    BlockFeeder(TAuOutput& writer, unsigned channels, unsigned rate, int blocks, int64_t lastBytes)
        : BlocksLeft(blocks), LastBytes(lastBytes) {
        for (std::size_t i = 0; i < Block.size(); ++i) Block[i] = static_cast<uint8_t>(i * 3 + 1);
        Input.SetInChannels(channels);
        Input.SetInSampleRate(rate);
        Input.SetBufferPointer(Block.data());
        Input.SetBufferBytes(2048);
        Input.OnBufferDone = [this, &writer](TMemoryIn& sender) {
            if (--BlocksLeft > 0 || (BlocksLeft == 0 && LastBytes > 0)) {
                sender.SetBufferBytes(BlocksLeft > 0 ? 2048 : LastBytes);
                sender.StartInput();
                return;
            }
            sender.SetBufferBytes(0);
            if (StopWriter) writer.RequestStop(true);
        };
        writer.SetInput(&Input);
        Input.StartInput();
    }
};

class WaveOutTest : public ::testing::Test {
protected:
    WaveOutTest() { Log.Attach(Writer); }

    std::vector<uint8_t> Run(const std::string& name) {
        Writer.SetFileName(Dir.File(name).string());
        test::RunToDone(Writer, Log);
        return test::ReadFileBytes(Dir.File(name));
    }

    test::TempDir Dir;
    TWaveOut Writer;
    EventLog Log;
};

std::vector<uint8_t> PcmHeader(uint32_t dataSize, uint16_t channels, uint32_t rate) {
    std::vector<uint8_t> h(44);
    auto put32 = [&](std::size_t at, uint32_t v) { PutLe32(h.data() + at, v); };
    auto put16 = [&](std::size_t at, uint16_t v) { PutLe16(h.data() + at, v); };
    std::memcpy(h.data(), "RIFF", 4);
    put32(4, dataSize + 36);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, channels);
    put32(24, rate);
    put32(28, rate * channels * 2);
    put16(32, static_cast<uint16_t>(channels * 2));
    put16(34, 16);
    std::memcpy(h.data() + 36, "data", 4);
    put32(40, dataSize);
    return h;
}

TEST_F(WaveOutTest, StereoRunStoppedAfter102048BytesHasExactHeaderAndData) {
    BlockFeeder feeder(Writer, 2, 44100, 49, 102048 - 49 * 2048);
    const auto file = Run("stereo.wav");
    ASSERT_EQ(file.size(), 44u + 102048u);
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 44), PcmHeader(102048, 2, 44100));
    EXPECT_EQ(Le32At(file, 4), 102084u);
    EXPECT_EQ(Le32At(file, 28), 176400u);
    EXPECT_EQ(Le16At(file, 32), 4u);
    EXPECT_EQ(std::memcmp(file.data() + 44, feeder.Block.data(), 2048), 0);
    EXPECT_EQ(std::memcmp(file.data() + 44 + 49 * 2048, feeder.Block.data(), 102048 - 49 * 2048), 0);
    EXPECT_EQ(Log.Exceptions, 0);
}

TEST_F(WaveOutTest, Mono22050Header) {
    BlockFeeder feeder(Writer, 1, 22050, 2, 0);
    const auto file = Run("mono.wav");
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 44), PcmHeader(4096, 1, 22050));
}

TEST_F(WaveOutTest, SixChannelsGetTheExtensibleHeaderWhichStaysForLaterRuns) {
    {
        BlockFeeder feeder(Writer, 6, 48000, 3, 0);
        const auto file = Run("six.wav");
        ASSERT_EQ(file.size(), 68u + 3 * 2048u);
        const uint8_t expected[68] = {
            'R', 'I', 'F', 'F', 0x3C, 0x18, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
            40, 0, 0, 0, 0xFE, 0xFF, 6, 0, 0x80, 0xBB, 0, 0, 0x00, 0xCA, 0x08, 0x00,
            12, 0, 16, 0, 22, 0, 16, 0, 0x3F, 0, 0, 0,
            0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71,
            'd', 'a', 't', 'a', 0x00, 0x18, 0, 0};
        EXPECT_EQ(std::memcmp(file.data(), expected, sizeof expected), 0);
        EXPECT_EQ(Writer.WavType(), TWavType::wtExtPCM);
    }
    BlockFeeder stereo(Writer, 2, 44100, 1, 0);
    const auto file = Run("later.wav");
    ASSERT_EQ(file.size(), 68u + 2048u);
    EXPECT_EQ(Le16At(file, 20), 0xFFFEu);
    EXPECT_EQ(Le16At(file, 22), 2u);
    EXPECT_EQ(Le32At(file, 40), 0x3u);
    EXPECT_EQ(Le32At(file, 64), 2048u);
}

TEST_F(WaveOutTest, ChannelCountsWithoutAFixedMaskGetTheUsualSpeakerMask) {
    const std::pair<unsigned, uint32_t> cases[] = {{3, 0x7}, {4, 0x33}, {5, 0x37}, {7, 0x70F}, {8, 0xFF}, {10, 0}};
    for (const auto& [channels, mask] : cases) {
        // 2048 bytes is not a whole number of frames for every count; that does not matter here.
        BlockFeeder feeder(Writer, channels, 44100, 1, 0);
        const auto file = Run("ch" + std::to_string(channels) + ".wav");
        EXPECT_EQ(Le32At(file, 40), mask) << channels << " channels";
    }
}

TEST_F(WaveOutTest, InputEndingEarlyIsZeroFilledToTheAnnouncedSize) {
    test::PatternInput input(1000, 2048);
    Writer.SetInput(&input);
    const auto file = Run("short.wav");
    ASSERT_EQ(file.size(), 44u + 2048u);
    EXPECT_EQ(Le32At(file, 40), 2048u);
    EXPECT_EQ(file[44 + 999], test::PatternInput::ByteAt(999));
    EXPECT_TRUE(std::all_of(file.begin() + 44 + 1000, file.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(WaveOutTest, RunEndingByItselfWithMoreThanAnnouncedGetsTrueSizes) {
    BlockFeeder feeder(Writer, 2, 44100, 3, 0);
    feeder.StopWriter = false;  // the input just ends; each block announced only itself
    const auto file = Run("more.wav");
    ASSERT_EQ(file.size(), 44u + 3 * 2048u);
    EXPECT_EQ(Le32At(file, 40), 3 * 2048u);
    EXPECT_EQ(Le32At(file, 4), file.size() - 8);
}

TEST_F(WaveOutTest, AppendingAddsToAFileOfTheSameFormat) {
    BlockFeeder first(Writer, 2, 44100, 1, 0);
    Run("append.wav");
    Writer.SetFileMode(TFileOutputMode::foAppend);
    BlockFeeder second(Writer, 2, 44100, 1, 1000);
    const auto file = Run("append.wav");
    ASSERT_EQ(file.size(), 44u + 2048u + 3048u);
    EXPECT_EQ(Le32At(file, 40), 5096u);
    EXPECT_EQ(Le32At(file, 4), file.size() - 8);
    EXPECT_EQ(Log.Exceptions, 0);
}

TEST_F(WaveOutTest, AppendingAnotherFormatOrKindIsRefusedAndTheFileKept) {
    BlockFeeder first(Writer, 2, 44100, 1, 0);
    const auto before = Run("keep.wav");
    Writer.SetFileMode(TFileOutputMode::foAppend);
    BlockFeeder mono(Writer, 1, 44100, 1, 0);
    EXPECT_EQ(Run("keep.wav"), before);
    EXPECT_EQ(Writer.ErrorText(), "Cannot append data in different audio format.");
    EXPECT_EQ(Log.Exceptions, 1);

    const std::vector<uint8_t> notWave(100, 'x');
    test::WriteFileBytes(Dir.File("text.wav"), notWave);
    BlockFeeder stereo(Writer, 2, 44100, 1, 0);
    EXPECT_EQ(Run("text.wav"), notWave);
    EXPECT_EQ(Writer.ErrorText(), "Cannot append data to this .wav file.");

    // Stereo 16-bit data cut inside its last frame: appended frames would be out of step.
    std::vector<uint8_t> cut = before;
    cut.resize(cut.size() - 2);
    for (const std::size_t field : {std::size_t{4}, std::size_t{40}}) {
        const uint32_t size = Le32At(before, field) - 2;
        for (std::size_t i = 0; i < 4; ++i) cut[field + i] = static_cast<uint8_t>(size >> (8 * i));
    }
    test::WriteFileBytes(Dir.File("cut.wav"), cut);
    EXPECT_EQ(Run("cut.wav"), cut);
    EXPECT_EQ(Writer.ErrorText(), "Cannot append data to this .wav file.");
}

TEST_F(WaveOutTest, AppendingToAMissingOrEmptyFileWritesAFreshFileWithTrueSizes) {
    Writer.SetFileMode(TFileOutputMode::foAppend);
    for (const char* name : {"missing.wav", "empty.wav"}) {
        if (std::string(name) == "empty.wav") test::WriteFileBytes(Dir.File(name), {});
        BlockFeeder feeder(Writer, 2, 44100, 2, 0);
        const auto file = Run(name);
        EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 44), PcmHeader(4096, 2, 44100)) << name;
        EXPECT_EQ(file.size(), 44u + 4096u) << name;
    }
}

TEST_F(WaveOutTest, WriteErrorOnAFullDeviceIsReportedNotHidden) {
    BlockFeeder feeder(Writer, 2, 44100, 2, 0);
    Writer.SetFileName("/dev/full");
    test::RunToDone(Writer, Log);
    EXPECT_EQ(Writer.ErrorText(), "No space left on device");
    // Small writes are gathered, so the failure may come with the close; it is reported once,
    // before the run's end.
    EXPECT_EQ(Log.Exceptions, 1);
    ASSERT_GE(Log.Order.size(), 2u);
    EXPECT_EQ(std::vector<char>(Log.Order.end() - 2, Log.Order.end()), (std::vector<char>{'E', 'D'}));
}

TEST_F(WaveOutTest, ErrorsDuringTheRunEndItAndTheFileMatchesWhatWasWritten) {
    // The disk fills up after the header and one block.
    test::MemoryStream full;
    full.WriteLimit = 44 + 2048;
    Writer.SetOutputStream(&full);
    BlockFeeder feeder(Writer, 2, 44100, 100, 0);
    test::RunToDone(Writer, Log);
    EXPECT_EQ(Writer.ErrorText(), "No space left on device");
    EXPECT_EQ(Log.Exceptions, 1);
    ASSERT_EQ(full.Bytes.size(), 44u + 2048u);
    EXPECT_EQ(Le32At(full.Bytes, 40), 2048u);

    // A read that keeps failing ends the run instead of looping.
    test::MemoryStream stream;
    Writer.SetOutputStream(&stream);
    test::PatternInput failing(100000, 100000);
    failing.FailAtRead = 2;
    Writer.SetInput(&failing);
    test::RunToDone(Writer, Log);
    EXPECT_EQ(Writer.ErrorText(), "Read failed");
    ASSERT_EQ(stream.Bytes.size(), 44u + 2 * 4096u);
    EXPECT_EQ(Le32At(stream.Bytes, 40), 2 * 4096u);
    EXPECT_EQ(Le32At(stream.Bytes, 4), stream.Bytes.size() - 8);
}

TEST_F(WaveOutTest, SizesBeyond32BitsAreWrittenAsTheLargestValue) {
    test::MemoryStream huge;
    huge.PretendExtra = int64_t{5} << 30;
    Writer.SetOutputStream(&huge);
    BlockFeeder feeder(Writer, 2, 44100, 1, 0);
    test::RunToDone(Writer, Log);
    EXPECT_EQ(Le32At(huge.Bytes, 4), 0xFFFFFFFFu);
    EXPECT_EQ(Le32At(huge.Bytes, 40), 0xFFFFFFFFu);
}

// A rate of 0, or one whose byte rate overflows its field, cannot be stated: refused by name.
TEST_F(WaveOutTest, RatesTheHeaderCannotStateAreRefusedNamingRateAndFile) {
    const std::pair<uint32_t, const char*> cases[] = {{0, "0 Hz"}, {1073741824, "1073741824 Hz"}};
    for (const auto& [rate, shown] : cases) {
        BlockFeeder feeder(Writer, 2, rate, 1, 0);
        Run("refused.wav");
        EXPECT_EQ(Writer.ErrorText(),
                  std::string("Cannot write refused.wav: ") + shown + " is not a sample rate WAV can write.");
        EXPECT_EQ(Writer.OutputSampleRate(), 0u);
    }
    EXPECT_EQ(Log.Exceptions, 2);
}

// Any rate the header can state is written as it is, never replaced by another: sox reads the
// right rate, channels and length, so the duration holds.
TEST_F(WaveOutTest, AnIndependentReaderAgrees) {
    for (const unsigned rate : {32000u, 1000u, 192000u, 768000u}) {
        BlockFeeder feeder(Writer, 2, rate, 10, 0);
        Run("sox.wav");
        EXPECT_EQ(Writer.OutputSampleRate(), rate);
        const std::string file = Dir.File("sox.wav").string();
        const std::string command = "soxi -r " + file + " && soxi -c " + file + " && soxi -s " + file;
        FILE* pipe = ::popen(("command -v soxi >/dev/null || exit 3; " + command).c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char text[256] = {};
        const std::size_t n = std::fread(text, 1, sizeof text - 1, pipe);
        if (::pclose(pipe) == 3 << 8) GTEST_SKIP() << "sox is not installed";
        EXPECT_EQ(std::string(text, n), std::to_string(rate) + "\n2\n5120\n");
    }
}

}  // namespace
}  // namespace murmex
