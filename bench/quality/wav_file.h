// 16-bit PCM WAV files for the quality bench's programs: read whole, written whole.
#pragma once

#include <cstdint>
#include <functional>
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

// The main() of a peer's program `NAME INPUT.wav OUTPUT.wav`: reads a mono file, lets process
// change its samples, writes them; reports a fault on stderr under the program's name. Returns
// the exit code.
int RunMonoFilter(int argc, char** argv, const std::string& name, const std::function<void(Pcm&)>& process);

}  // namespace murmex_bench
