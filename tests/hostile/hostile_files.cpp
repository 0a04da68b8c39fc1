#include "tests/hostile/hostile_files.h"

#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "tests/hostile/child_run.h"

namespace murmex::testing {

namespace fs = std::filesystem;

namespace {

void PutLe(Bytes& bytes, size_t at, uint64_t value, int width) {
    if (at + static_cast<size_t>(width) > bytes.size()) throw std::runtime_error("length field beyond the file");
    for (int i = 0; i < width; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

void PutBe32(Bytes& bytes, size_t at, uint32_t value) {
    if (at + 4 > bytes.size()) throw std::runtime_error("length field beyond the file");
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * (3 - i)));
}

uint32_t GetLe(const Bytes& bytes, size_t at, int width) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes.at(at + static_cast<size_t>(i));
    return value;
}

size_t Find(const Bytes& bytes, const std::string& marker, size_t from = 0) {
    const auto it = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(std::min(from, bytes.size())), bytes.end(),
                                marker.begin(), marker.end(),
                                [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
    if (it == bytes.end()) throw std::runtime_error("no \"" + marker + "\" in the file");
    return static_cast<size_t>(it - bytes.begin());
}

void ClaimWav(Bytes& bytes) {
    PutLe(bytes, 4, 0xFFFFFFF8u, 4);
    PutLe(bytes, Find(bytes, "data", 12) + 4, 0xFFFFFFF0u, 4);
}

// The Xing/Info header of the first frame: frame count and byte count.
void ClaimMp3(Bytes& bytes) {
    size_t at = 0;
    try {
        at = Find(bytes, "Xing");
    } catch (const std::runtime_error&) {
        at = Find(bytes, "Info");
    }
    PutBe32(bytes, at + 4, 0x3);  // both counts present
    PutBe32(bytes, at + 8, 0x7FFFFFFF);
    PutBe32(bytes, at + 12, 0x7FFFFFFF);
}

uint32_t OggCrc(const uint8_t* data, size_t size) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) crc = (crc << 8) ^ table[((crc >> 24) ^ data[i]) & 0xFF];
    return crc;
}

// The last page's granule position, i.e. the stream's length in samples.
void ClaimOgg(Bytes& bytes) {
    const std::string marker = "OggS";
    const auto found = std::find_end(bytes.begin(), bytes.end(), marker.begin(), marker.end());
    if (found == bytes.end()) throw std::runtime_error("no Ogg page in the file");
    const size_t last = static_cast<size_t>(found - bytes.begin());
    const size_t segments = bytes.at(last + 26);
    size_t pageBytes = 27 + segments;
    for (size_t i = 0; i < segments; ++i) pageBytes += bytes.at(last + 27 + i);
    if (last + pageBytes > bytes.size()) throw std::runtime_error("last Ogg page cut short");
    PutLe(bytes, last + 6, 0x00FFFFFFFFFFFFFFull, 8);
    PutLe(bytes, last + 22, 0, 4);
    PutLe(bytes, last + 22, OggCrc(bytes.data() + last, pageBytes), 4);
}

// STREAMINFO: largest frame size and total sample count at their maxima.
void ClaimFlac(Bytes& bytes) {
    if (Find(bytes, "fLaC") != 0 || (bytes.at(4) & 0x7F) != 0) throw std::runtime_error("no STREAMINFO first");
    constexpr size_t info = 8;
    for (size_t i = 7; i < 10; ++i) bytes.at(info + i) = 0xFF;
    bytes.at(info + 13) |= 0x0F;
    for (size_t i = 14; i < 18; ++i) bytes.at(info + i) = 0xFF;
}

// ASF File Properties: file size, data packet count, play and send durations.
void ClaimWma(Bytes& bytes) {
    static const std::string kFileProperties{"\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65", 16};
    const size_t at = Find(bytes, kFileProperties);
    for (size_t field : {40, 56, 64, 72}) PutLe(bytes, at + field, 0x00FFFFFFFFFFFFFFull, 8);
}

}  // namespace

Bytes ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

Bytes Truncated(Bytes bytes, size_t keep) {
    bytes.resize(std::min(keep, bytes.size()));
    return bytes;
}

Bytes WithFlippedBits(Bytes bytes, uint32_t seed, int count, size_t span) {
    const size_t range = span == 0 ? bytes.size() : std::min(span, bytes.size());
    if (range == 0) return bytes;
    uint32_t state = seed;
    for (int i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        const size_t at = (state >> 8) % range;
        bytes[at] ^= static_cast<uint8_t>(1u << (state & 7));
    }
    return bytes;
}

Bytes WithSizeClaims(Bytes bytes, const std::string& extension) {
    if (extension == "wav") ClaimWav(bytes);
    else if (extension == "mp3") ClaimMp3(bytes);
    else if (extension == "ogg") ClaimOgg(bytes);
    else if (extension == "flac") ClaimFlac(bytes);
    else if (extension == "wma") ClaimWma(bytes);
    else throw std::runtime_error("no size fields known for ." + extension);
    return bytes;
}

std::optional<WavFacts> ReadWavFacts(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    const Bytes bytes = ReadBytes(path);
    if (bytes.size() < 44 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return std::nullopt;
    WavFacts facts;
    facts.Channels = static_cast<uint16_t>(GetLe(bytes, 22, 2));
    facts.Rate = GetLe(bytes, 24, 4);
    facts.DataBytes = GetLe(bytes, 40, 4);
    facts.SizesMatchFile = GetLe(bytes, 4, 4) == bytes.size() - 8 && facts.DataBytes == bytes.size() - 44;
    return facts;
}

std::optional<AudioFacts> ProbeAudio(const fs::path& path) {
    const ChildOutcome probe = ChildRun("/usr/bin/ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                                             "stream=sample_rate,channels:format=duration", "-of",
                                                             "default=noprint_wrappers=1", path.string()})
                                   .Wait();
    if (probe.ExitCode != 0) return std::nullopt;
    AudioFacts audio;
    std::istringstream lines(probe.Out);
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (value.empty() || value == "N/A") continue;
        if (key == "sample_rate") audio.Rate = static_cast<uint32_t>(std::stoul(value));
        if (key == "channels") audio.Channels = static_cast<uint16_t>(std::stoul(value));
        if (key == "duration") audio.Seconds = std::stod(value);
    }
    if (audio.Rate == 0 || audio.Seconds <= 0.0) return std::nullopt;
    return audio;
}

ScratchFolder::ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "murmex-hostile-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::system_error(errno, std::generic_category(), pattern);
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

}  // namespace murmex::testing
