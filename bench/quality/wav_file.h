// 16-bit PCM WAV files for the quality bench's programs: read whole, written whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace murmex_bench {

struct Pcm {
    int channels = 0;
    int rate = 0;
    std::vector<int16_t> samples;  // interleaved
};

// Throws std::runtime_error naming the file and the reason.
Pcm ReadWav(const std::string& path);
void WriteWav(const std::string& path, const Pcm& pcm);

}  // namespace murmex_bench
