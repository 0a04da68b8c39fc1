#pragma once

#include <cstdint>
#include <vector>

#include "pipeline/au_file_in.h"
#include "pipeline/wav_format.h"

namespace murmex {

// Reads a WAV file: its header (rate, channels, bits; 16 for IMA ADPCM, whose samples it
// decodes) and its sample data. Every chunk size is checked against the file, so a damaged
// or hostile file yields an invalid format, never a read outside the file.
class TWaveIn : public TAuFileIn {
public:
    TWavType WavType();
    const WavFileFormat& Format();

protected:
    void ReadHeader() override;
    void StartImpl() override;
    void FinishImpl() override;
    void ReadImpl(const uint8_t*& buffer, std::size_t& bytes) override;

private:
    bool DecodeNextAdpcmBlock();

    WavFileFormat FFormat;
    int64_t DataLeft = 0;
    std::vector<uint8_t> Raw;
    std::vector<uint8_t> Decoded;
    std::size_t DecodedOffset = 0;
};

}  // namespace murmex
