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
    std::size_t DecodedBytes() const { return Decoded.size() * sizeof(int16_t); }
    // The data up to its last whole frame (ADPCM: block). The part of a frame that ends a file
    // cut short is never served: it would shift every frame after it, and the channels with it
    // when the data loops.
    int64_t WholeBlockBytes() const { return FFormat.DataSize / FFormat.BlockAlign * FFormat.BlockAlign; }

    WavFileFormat FFormat;
    int64_t DataLeft = 0;
    std::vector<uint8_t> Raw;
    std::vector<int16_t> Decoded;  // one decoded ADPCM block
    std::size_t DecodedOffset = 0;  // bytes of Decoded already served
};

}  // namespace murmex
