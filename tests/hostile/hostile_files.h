#pragma once
// Damaged copies of valid audio files, made at test time: cut short, bits flipped at seeded
// places, or size fields claiming far more than the file holds. Also a scratch folder per test
// and readers for the WAV files murmex-cli writes and, through ffprobe, the encoded ones.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace murmex::testing {

using Bytes = std::vector<uint8_t>;

Bytes ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const Bytes& bytes);

Bytes Truncated(Bytes bytes, size_t keep);
// Flips `count` bits at places drawn from `seed`, within the first `span` bytes (0: anywhere).
Bytes WithFlippedBits(Bytes bytes, uint32_t seed, int count, size_t span = 0);
// The file's own length fields (by its extension: wav, mp3, ogg, wma, flac) rewritten to claim
// far more audio, or far larger parts, than the file holds; checksums are kept valid, so the
// claims are believed. Throws when the file lacks the field.
Bytes WithSizeClaims(Bytes bytes, const std::string& extension);

// What the header of a written WAV file says, and whether its sizes agree with the file.
struct WavFacts {
    uint32_t Rate = 0;
    uint16_t Channels = 0;
    uint32_t DataBytes = 0;
    bool SizesMatchFile = false;
    double Seconds() const { return Rate == 0 || Channels == 0 ? 0.0 : DataBytes / (2.0 * Channels * Rate); }
};
std::optional<WavFacts> ReadWavFacts(const std::filesystem::path& path);

// What a written file holds.
struct AudioFacts {
    uint32_t Rate = 0;
    uint16_t Channels = 0;
    double Seconds = 0.0;
};
// What ffprobe, a reader no one here wrote, finds in an encoded file's first audio stream;
// nullopt when it finds none with a rate and a duration.
std::optional<AudioFacts> ProbeAudio(const std::filesystem::path& path);

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace murmex::testing
