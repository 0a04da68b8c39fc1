#include "bench/quality/wav_file.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>

namespace murmex_bench {

namespace {

uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

Pcm ReadWav(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot open");
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        throw std::runtime_error(path + ": not a RIFF/WAVE file");
    }
    Pcm pcm;
    for (size_t pos = 12; pos + 8 <= bytes.size();) {
        const size_t size = Le32(&bytes[pos + 4]);
        const unsigned char* body = &bytes[pos + 8];
        const size_t available = std::min(size, bytes.size() - pos - 8);
        if (std::memcmp(&bytes[pos], "fmt ", 4) == 0 && available >= 16) {
            if (Le16(body) != 1 || Le16(body + 14) != 16) throw std::runtime_error(path + ": not 16-bit PCM");
            pcm.channels = Le16(body + 2);
            pcm.rate = static_cast<int>(Le32(body + 4));
        } else if (std::memcmp(&bytes[pos], "data", 4) == 0) {
            pcm.samples.resize(available / 2);
            std::memcpy(pcm.samples.data(), body, pcm.samples.size() * 2);
        }
        pos += 8 + size + (size & 1);
    }
    if (pcm.channels < 1 || pcm.channels > 2) throw std::runtime_error(path + ": needs 1 or 2 channels");
    return pcm;
}

void WriteWav(const std::string& path, const Pcm& pcm) {
    std::ofstream out(path, std::ios::binary);
    const auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) out.put(static_cast<char>(v >> (8 * i))); };
    const auto u16 = [&](uint16_t v) { out.put(static_cast<char>(v)); out.put(static_cast<char>(v >> 8)); };
    const auto dataBytes = static_cast<uint32_t>(pcm.samples.size() * 2);
    out.write("RIFF", 4); u32(36 + dataBytes); out.write("WAVEfmt ", 8);
    u32(16); u16(1); u16(static_cast<uint16_t>(pcm.channels)); u32(static_cast<uint32_t>(pcm.rate));
    u32(static_cast<uint32_t>(pcm.rate * pcm.channels * 2)); u16(static_cast<uint16_t>(pcm.channels * 2)); u16(16);
    out.write("data", 4); u32(dataBytes);
    out.write(reinterpret_cast<const char*>(pcm.samples.data()), static_cast<std::streamsize>(dataBytes));
    out.close();
    if (!out) throw std::runtime_error(path + ": write failed");
}

int RunMonoFilter(int argc, char** argv, const std::string& name, const std::function<void(Pcm&)>& process) {
    if (argc != 3) {
        std::cerr << "usage: " << name << " INPUT.wav OUTPUT.wav\n";
        return 2;
    }
    try {
        Pcm pcm = ReadWav(argv[1]);
        if (pcm.channels != 1) throw std::runtime_error(std::string(argv[1]) + ": needs one channel");
        try {
            process(pcm);
        } catch (const std::exception& e) {
            throw std::runtime_error(std::string(argv[1]) + ": " + e.what());
        }
        WriteWav(argv[2], pcm);
    } catch (const std::exception& e) {
        std::cerr << name << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace murmex_bench
