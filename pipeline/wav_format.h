#pragma once

#include <cstdint>

namespace murmex {

enum class TWavType {
    wtUnsupported,
    wtPCM,
    wtDVIADPCM,
    wtMSADPCM,
    wtACM,
    wtIEEEFloat,
    wtExtPCM,
    wtExtIEEEFloat
};

// What a RIFF/WAVE header says about its audio, as the reader of an existing file finds it.
struct WavFileFormat {
    TWavType Type = TWavType::wtUnsupported;
    uint32_t SampleRate = 0;
    uint16_t Channels = 0;
    uint16_t BitsPerSample = 0;
    uint16_t BlockAlign = 0;
    uint32_t SamplesPerBlock = 0;  // IMA ADPCM: samples per channel in one block
    int64_t FactPosition = -1;      // file position of the fact chunk's sample count
    int64_t DataSizePosition = -1;  // file position of the data chunk's size field
    int64_t DataStart = -1;         // file position of the first sample byte
    int64_t DataSize = 0;           // bytes of sample data, limited to what the file holds
};

}  // namespace murmex
