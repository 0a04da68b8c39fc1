#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace murmex::test {

// A folder of its own under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path File(std::string_view name) const { return Root_ / name; }

private:
    std::filesystem::path Root_;
};

void WriteBytes(const std::filesystem::path& path, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& path);

// Stand-in audio data: a frame sync followed by a recognisable byte pattern.
std::string AudioBytes(std::size_t count);

// The raw fields of a 128-byte tag, texts given as they lie on disk.
struct RawTag {
    std::string Title = {}, Artist = {}, Album = {}, Year = {}, Comment = {};
    unsigned char Byte125 = 0, Byte126 = 0, Genre = 255;
};
std::string BuildTag(const RawTag& fields);

// A Lyrics3 version 2 block made of the given (id, data) fields, with a correct footer.
std::string BuildLyrics3(const std::vector<std::pair<std::string, std::string>>& fields);

// Runs `check` in a child process under an unprivileged user id (when running as root), so that
// file permissions apply as they do for a desktop user. Returns what `check` returned.
bool RunUnprivileged(const std::function<bool()>& check);

}  // namespace murmex::test
