#pragma once

#include <cstdint>
#include <vector>

#include "encoders/wma_file_writer.h"
#include "pipeline/au_output.h"

namespace murmex {

// Pipeline file output that writes its input's PCM to a Windows Media Audio file: a codec format
// is chosen for the wanted bitrate or VBR quality and the input's format, the descriptive fields
// of Id3v2Tags become file attributes, and the PCM goes out in timed blocks of 80 ms.
class TWMAOut : public TAuTaggedFileOut {
public:
    TWMAOut() = default;
    ~TWMAOut() override;

    // Below 1000 the value is kbit/s, otherwise bit/s.
    uint32_t DesiredBitrate() const { return FDesiredBitrate; }
    void SetDesiredBitrate(uint32_t value) { FDesiredBitrate = value; }
    bool Lossless() const { return FLossless; }
    void SetLossless(bool value) { FLossless = value; }
    bool VBR() const { return FVBR; }
    void SetVBR(bool value) { FVBR = value; }
    // Compared directly with the codec formats' "_VBRQUALITY" values.
    uint8_t VBRQuality() const { return FVBRQuality; }
    void SetVBRQuality(uint8_t value) { FVBRQuality = value; }

    // The sample time after a block of `bytes`, in 100 ns units, rounded to the nearest.
    static int64_t NextSampleTime(int64_t sampleTime, std::size_t bytes,
                                  uint32_t averageBytesPerSecond);

protected:
    void Init() override;
    bool DoOutput(bool abort) override;
    void Done() override;

private:
    void SetAttributes();

    uint32_t FDesiredBitrate = 128;
    bool FLossless = false;
    bool FVBR = false;
    uint8_t FVBRQuality = 5;

    WmaFileWriter FWriter;
    bool FWriting = false;  // BeginWriting succeeded in this run
    uint32_t FAverageBytesPerSecond = 0;
    int64_t FSampleTime = 0;
    bool FEndOfInput = false;
    std::vector<uint8_t> FBlock;
};

}  // namespace murmex
