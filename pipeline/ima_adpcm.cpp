#include "pipeline/ima_adpcm.h"

#include <algorithm>

#include "pipeline/little_endian.h"

namespace murmex {

namespace {

constexpr int StepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int IndexTable[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

// The predictor of one channel. Encoder and decoder apply a code through the same step, so
// the encoder tracks exactly what a decoder will reconstruct.
struct Predictor {
    int Sample = 0;
    int Index = 0;

    void Apply(unsigned code) {
        const int step = StepTable[Index];
        int difference = step >> 3;
        if (code & 4) difference += step;
        if (code & 2) difference += step >> 1;
        if (code & 1) difference += step >> 2;
        Sample = std::clamp(code & 8 ? Sample - difference : Sample + difference, -32768, 32767);
        Index = std::clamp(Index + IndexTable[code & 7], 0, 88);
    }

    unsigned Encode(int target) {
        int difference = target - Sample;
        unsigned code = 0;
        if (difference < 0) {
            code = 8;
            difference = -difference;
        }
        int step = StepTable[Index];
        for (unsigned bit = 4; bit != 0; bit >>= 1, step >>= 1) {
            if (difference >= step) {
                code |= bit;
                difference -= step;
            }
        }
        Apply(code);
        return code;
    }
};

}  // namespace

unsigned ImaAdpcm::SamplesPerBlock(unsigned blockAlign, unsigned channels) {
    const unsigned headerBytes = 4 * channels;
    if (channels == 0 || blockAlign <= headerBytes || (blockAlign - headerBytes) % headerBytes != 0)
        return 0;
    return (blockAlign - headerBytes) * 2 / channels + 1;
}

void ImaAdpcm::EncodeBlock(const int16_t* samples, unsigned channels, unsigned blockAlign,
                           uint8_t* block, uint8_t* stepIndex) {
    const unsigned perBlock = SamplesPerBlock(blockAlign, channels);
    // Channels are independent: each is coded on its own, into its 4-byte slots of each group.
    for (unsigned c = 0; c < channels; ++c) {
        Predictor state{samples[c], std::min<int>(stepIndex[c], 88)};
        PutLe16(block + 4 * c, static_cast<uint16_t>(samples[c]));
        block[4 * c + 2] = static_cast<uint8_t>(state.Index);
        block[4 * c + 3] = 0;
        uint8_t* out = block + 4 * channels + 4 * c;
        for (unsigned first = 1; first < perBlock; first += 8, out += 4 * channels) {
            for (unsigned k = 0; k < 8; k += 2) {
                const unsigned low = state.Encode(samples[(first + k) * channels + c]);
                const unsigned high = state.Encode(samples[(first + k + 1) * channels + c]);
                out[k / 2] = static_cast<uint8_t>(low | (high << 4));
            }
        }
        stepIndex[c] = static_cast<uint8_t>(state.Index);
    }
}

void ImaAdpcm::DecodeBlock(const uint8_t* block, unsigned channels, unsigned blockAlign,
                           int16_t* samples) {
    const unsigned perBlock = SamplesPerBlock(blockAlign, channels);
    for (unsigned c = 0; c < channels; ++c) {
        Predictor state{static_cast<int16_t>(GetLe16(block + 4 * c)), std::min<int>(block[4 * c + 2], 88)};
        samples[c] = static_cast<int16_t>(state.Sample);
        const uint8_t* in = block + 4 * channels + 4 * c;
        for (unsigned first = 1; first < perBlock; first += 8, in += 4 * channels) {
            for (unsigned k = 0; k < 8; k += 2) {
                state.Apply(in[k / 2] & 0x0F);
                samples[(first + k) * channels + c] = static_cast<int16_t>(state.Sample);
                state.Apply(in[k / 2] >> 4);
                samples[(first + k + 1) * channels + c] = static_cast<int16_t>(state.Sample);
            }
        }
    }
}

}  // namespace murmex
