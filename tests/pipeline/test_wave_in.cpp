#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "pipeline/au_exception.h"
#include "pipeline/memory_in.h"
#include "pipeline/wave_in.h"
#include "pipeline/wave_out.h"
#include "tests/pipeline/pipeline_test_support.h"

namespace murmex {
namespace {

using test::Le32At;

std::vector<uint8_t> Chunk(const char* id, const std::vector<uint8_t>& body, uint32_t size) {
    std::vector<uint8_t> chunk(8);
    std::memcpy(chunk.data(), id, 4);
    PutLe32(chunk.data() + 4, size);
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

std::vector<uint8_t> Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t align, uint16_t bits) {
    std::vector<uint8_t> fmt(16);
    PutLe16(fmt.data(), tag);
    PutLe16(fmt.data() + 2, channels);
    PutLe32(fmt.data() + 4, rate);
    PutLe32(fmt.data() + 8, rate * align);
    PutLe16(fmt.data() + 12, align);
    PutLe16(fmt.data() + 14, bits);
    return fmt;
}

std::vector<uint8_t> Riff(const std::vector<std::vector<uint8_t>>& chunks) {
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const auto& chunk : chunks) file.insert(file.end(), chunk.begin(), chunk.end());
    PutLe32(file.data() + 4, static_cast<uint32_t>(file.size() - 8));
    return file;
}

class WaveInTest : public ::testing::Test {
protected:
    TWaveIn& Open(const std::vector<uint8_t>& bytes) {
        test::WriteFileBytes(Dir.File("in.wav"), bytes);
        Reader.SetFileName(Dir.File("in.wav").string());
        return Reader;
    }
    std::vector<uint8_t> ReadAll() {
        Reader.StartInput();
        std::vector<uint8_t> all;
        uint8_t buffer[1000];
        for (std::size_t n; (n = Reader.CopyBlock(buffer, sizeof buffer)) > 0;) all.insert(all.end(), buffer, buffer + n);
        Reader.FinishInput();
        return all;
    }

    test::TempDir Dir;
    TWaveIn Reader;
};

TEST_F(WaveInTest, ReadsFormatAndDataSkippingOtherChunks) {
    const std::vector<uint8_t> samples = {1, 2, 3, 4, 5, 6, 7, 8};
    Open(Riff({Chunk("fmt ", Fmt(1, 2, 22050, 4, 16), 16), Chunk("LIST", {9, 9, 9}, 3), {0},
               Chunk("data", samples, 8)}));
    EXPECT_TRUE(Reader.Valid());
    EXPECT_EQ(Reader.InSampleRate(), 22050u);
    EXPECT_EQ(Reader.InChannels(), 2u);
    EXPECT_EQ(Reader.InBitsPerSample(), 16u);
    EXPECT_EQ(Reader.TotalSamples(), 2);
    EXPECT_EQ(ReadAll(), samples);
}

TEST_F(WaveInTest, DataSizeLargerThanTheFileIsCutToTheFile) {
    const std::vector<uint8_t> samples(40, 7);
    Open(Riff({Chunk("fmt ", Fmt(1, 1, 8000, 2, 16), 16), Chunk("data", samples, 0xFFFFFFFF)}));
    EXPECT_EQ(Reader.TotalSamples(), 20);
    EXPECT_EQ(ReadAll(), samples);
}

// A file cut inside its last frame: the partial frame is not served, so frames (and, when
// looping, channels) stay aligned. The six-channel case is a cut extensible file.
TEST_F(WaveInTest, FileCutInsideAFrameServesWholeFramesOnlyAndLoopsAligned) {
    struct Case {
        uint16_t tag, channels, bits;
        std::size_t dataBytes, servedBytes;
    };
    const Case cases[] = {{1, 2, 16, 10, 8}, {1, 1, 24, 7, 6}, {1, 2, 8, 3, 2}, {1, 1, 16, 1, 0},
                          {0xFFFE, 6, 16, 14, 12}};
    for (const Case& c : cases) {
        const auto align = static_cast<uint16_t>(c.channels * c.bits / 8);
        std::vector<uint8_t> fmt = Fmt(c.tag, c.channels, 48000, align, c.bits);
        if (c.tag == 0xFFFE) {
            const std::vector<uint8_t> extension = {22, 0, 16, 0, 0x3F, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x10, 0,
                                                    0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
            fmt.insert(fmt.end(), extension.begin(), extension.end());
        }
        std::vector<uint8_t> samples(c.dataBytes);
        for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i + 1);
        Open(Riff({Chunk("fmt ", fmt, static_cast<uint32_t>(fmt.size())),
                   Chunk("data", samples, static_cast<uint32_t>(0x8CA00))}));
        ASSERT_TRUE(Reader.Valid()) << c.channels << " channels";
        const std::vector<uint8_t> whole(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(c.servedBytes));
        EXPECT_EQ(ReadAll(), whole) << c.channels << " channels";

        Reader.Loop = true;
        Reader.StartInput();
        std::vector<uint8_t> looped(3 * c.servedBytes);
        bool ended = false;
        EXPECT_EQ(Reader.FillBlock(looped.data(), looped.size(), ended), looped.size());
        for (std::size_t i = 0; i < looped.size(); ++i) EXPECT_EQ(looped[i], whole[i % whole.size()]) << i;
        Reader.FinishInput();
        Reader.Loop = false;
    }
}

TEST_F(WaveInTest, DamagedHeadersAreInvalidNeverOutOfBounds) {
    const auto good = Riff({Chunk("fmt ", Fmt(1, 2, 44100, 4, 16), 16), Chunk("data", std::vector<uint8_t>(16), 16)});
    // Every truncation of a good file.
    for (std::size_t length = 0; length < 44; ++length) {
        Open(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_FALSE(Reader.Valid()) << "cut at " << length;
        EXPECT_EQ(Reader.InSampleRate(), 0u);
    }
    const std::vector<std::vector<uint8_t>> hostile = {
        Riff({Chunk("fmt ", Fmt(1, 2, 44100, 4, 16), 0xFFFFFFF0), Chunk("data", {0, 0, 0, 0}, 4)}),
        Riff({Chunk("fmt ", {1, 0, 2, 0}, 4), Chunk("data", {0, 0, 0, 0}, 4)}),
        Riff({Chunk("data", {0, 0, 0, 0}, 4), Chunk("fmt ", Fmt(1, 2, 44100, 4, 16), 16)}),
        Riff({Chunk("fmt ", Fmt(1, 0, 44100, 0, 16), 16), Chunk("data", {0, 0, 0, 0}, 4)}),
        Riff({Chunk("fmt ", Fmt(1, 2, 44100, 3, 16), 16), Chunk("data", {0, 0, 0, 0}, 4)}),
        Riff({Chunk("fmt ", Fmt(17, 1, 8000, 2, 4), 16), Chunk("data", {0, 0, 0, 0}, 4)}),
        Riff({Chunk("fmt ", Fmt(1, 2, 44100, 4, 16), 16), Chunk("JUNK", std::vector<uint8_t>(9000), 9000),
              Chunk("data", {0, 0, 0, 0}, 4)}),
    };
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        Open(hostile[i]);
        EXPECT_FALSE(Reader.Valid()) << "case " << i;
        EXPECT_THROW(Reader.StartInput(), EAuException) << "case " << i;
    }
}

TEST_F(WaveInTest, MissingFileRaisesTheSystemText) {
    Reader.SetFileName(Dir.File("nothing.wav").string());
    try {
        Reader.InSampleRate();
        FAIL() << "no error for a missing file";
    } catch (const EAuException& error) {
        EXPECT_STREQ(error.what(), "No such file or directory");
    }
}

// The ADPCM mode writes a file the reader decodes back close to the input, reporting 16 bits.
TEST_F(WaveInTest, AdpcmWrittenAndReadBack) {
    constexpr int Frames = 5000;
    std::vector<int16_t> pcm(Frames * 2);
    for (int i = 0; i < Frames; ++i) {
        pcm[2 * i] = static_cast<int16_t>(8000 * std::sin(i * 0.05));
        pcm[2 * i + 1] = static_cast<int16_t>(-6000 * std::sin(i * 0.031));
    }
    TMemoryIn input;
    input.SetBufferPointer(pcm.data());
    input.SetBufferBytes(static_cast<int64_t>(pcm.size() * 2));
    TWaveOut writer;
    writer.SetWavType(TWavType::wtDVIADPCM);
    writer.SetBlockSize(256);
    writer.SetInput(&input);
    writer.SetFileName(Dir.File("adpcm.wav").string());
    test::EventLog log;
    log.Attach(writer);
    input.StartInput();
    test::RunToDone(writer, log);
    ASSERT_EQ(log.Exceptions, 0) << writer.ErrorText();

    const auto file = test::ReadFileBytes(Dir.File("adpcm.wav"));
    const unsigned perBlock = (256 - 8) + 1;
    const std::size_t blocks = (Frames + perBlock - 1) / perBlock;
    ASSERT_EQ(file.size(), 60 + blocks * 256);
    EXPECT_EQ(Le32At(file, 48), static_cast<uint32_t>(Frames));  // fact: samples per channel
    EXPECT_EQ(Le32At(file, 56), blocks * 256);

    Reader.SetFileName(Dir.File("adpcm.wav").string());
    EXPECT_EQ(Reader.WavType(), TWavType::wtDVIADPCM);
    EXPECT_EQ(Reader.InBitsPerSample(), 16u);
    EXPECT_EQ(Reader.InChannels(), 2u);
    const auto decodedBytes = ReadAll();
    ASSERT_EQ(decodedBytes.size(), blocks * perBlock * 4);
    std::vector<int16_t> decoded(decodedBytes.size() / 2);
    std::memcpy(decoded.data(), decodedBytes.data(), decodedBytes.size());
    // The coder needs a few samples to adapt its step from the start; after that it tracks.
    double worst = 0;
    std::size_t worstAt = 0;
    for (std::size_t i = 64; i < pcm.size(); ++i) {
        const double error = std::abs(double(decoded[i]) - pcm[i]);
        if (error > worst) { worst = error; worstAt = i; }
    }
    EXPECT_LT(worst, 300.0) << "at sample " << worstAt;

    // 8-bit input cannot be coded.
    input.SetInBitsPerSample(8);
    input.StartInput();
    test::RunToDone(writer, log);
    EXPECT_EQ(writer.ErrorText(), "Cannot encode 8 bit sound into ADPCM.");
}

}  // namespace
}  // namespace murmex
