#pragma once

#include <cstddef>
#include <cstdint>

namespace murmex {

// IMA (DVI) ADPCM blocks as WAV files hold them: per channel a 4-byte header (first sample,
// step index), then 4-byte groups of eight 4-bit codes, channel by channel, low nibble first.
class ImaAdpcm {
public:
    // Samples per channel in a block of `blockAlign` bytes; 0 when the size cannot hold a block.
    static unsigned SamplesPerBlock(unsigned blockAlign, unsigned channels);

    // Encodes SamplesPerBlock interleaved 16-bit samples into one block of `blockAlign` bytes.
    // The step index of each channel (`stepIndex`, one per channel) carries over to the next block.
    static void EncodeBlock(const int16_t* samples, unsigned channels, unsigned blockAlign,
                            uint8_t* block, uint8_t* stepIndex);
    // Decodes one block into SamplesPerBlock interleaved 16-bit samples. Damaged step indexes
    // are clamped, so any bytes decode without error.
    static void DecodeBlock(const uint8_t* block, unsigned channels, unsigned blockAlign,
                            int16_t* samples);
};

}  // namespace murmex
