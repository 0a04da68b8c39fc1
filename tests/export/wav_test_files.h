#pragma once
// Small WAV files made at test time, and helpers to read back what was written and said.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace murmex::testing {

// Interleaved 16-bit samples: a tone per channel plus deterministic broadband noise.
inline std::vector<int16_t> NoisyTone(size_t frames, int channels, uint32_t seed = 1) {
    std::vector<int16_t> samples(frames * static_cast<size_t>(channels));
    uint32_t state = seed;
    for (size_t i = 0; i < samples.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        const double noise = static_cast<double>(static_cast<int32_t>(state >> 16) - 32768) * 0.05;
        const double tone = 6000.0 * std::sin(static_cast<double>(i / static_cast<size_t>(channels)) * 0.0627 *
                                              static_cast<double>(1 + i % static_cast<size_t>(channels)));
        samples[i] = static_cast<int16_t>(tone + noise);
    }
    return samples;
}

inline void PutLe(std::ofstream& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline void WriteWav(const std::filesystem::path& path, const std::vector<int16_t>& samples, uint32_t rate,
                     uint16_t channels) {
    std::ofstream out(path, std::ios::binary);
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    PutLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);
    PutLe(out, channels, 2);
    PutLe(out, rate, 4);
    PutLe(out, rate * channels * 2u, 4);
    PutLe(out, channels * 2u, 2);
    PutLe(out, 16, 2);
    out.write("data", 4);
    PutLe(out, dataBytes, 4);
    out.write(reinterpret_cast<const char*>(samples.data()), dataBytes);
    ASSERT_TRUE(out.good());
}

inline std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline uint32_t GetLe32(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

// The header sizes must describe exactly what the file holds; a nonzero `dataBytes` is the
// data size expected.
inline void ExpectConsistentWav(const std::vector<uint8_t>& file, uint32_t dataBytes = 0) {
    ASSERT_GE(file.size(), 44u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
    EXPECT_EQ(GetLe32(file, 4), file.size() - 8);
    EXPECT_EQ(GetLe32(file, 40), file.size() - 44);
    if (dataBytes != 0) {
        EXPECT_EQ(GetLe32(file, 40), dataBytes);
    }
}

inline void ExpectConsistentWav(const std::filesystem::path& path, uint32_t dataBytes = 0) {
    SCOPED_TRACE(path.string());
    ExpectConsistentWav(ReadFile(path), dataBytes);
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A temporary folder per test, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("murmex-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                 std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace murmex::testing
