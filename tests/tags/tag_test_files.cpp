#include "tests/tags/tag_test_files.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace murmex::test {
namespace fs = std::filesystem;

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    Root_ = fs::temp_directory_path() /
            ("murmex-tags-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(Root_);
    fs::create_directories(Root_);
    // Traversable by everyone, so the unprivileged checks meet the files' own permissions.
    fs::permissions(Root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(Root_, ignored);
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write test file " + path.string());
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read test file " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string AudioBytes(std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 37 + 11) & 0xFF);
    if (count >= 2) bytes.replace(0, 2, "\xFF\xFB");
    return bytes;
}

std::string BuildTag(const RawTag& fields) {
    std::string tag(128, '\0');
    const auto put = [&tag](std::size_t offset, std::size_t max, const std::string& text) {
        tag.replace(offset, std::min(max, text.size()), text.substr(0, max));
    };
    put(0, 3, "TAG");
    put(3, 30, fields.Title);
    put(33, 30, fields.Artist);
    put(63, 30, fields.Album);
    put(93, 4, fields.Year);
    put(97, 30, fields.Comment);
    tag[125] = static_cast<char>(fields.Byte125);
    tag[126] = static_cast<char>(fields.Byte126);
    tag[127] = static_cast<char>(fields.Genre);
    return tag;
}

std::string BuildLyrics3(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string block = "LYRICSBEGIN";
    for (const auto& [id, data] : fields) {
        char length[24];
        std::snprintf(length, sizeof length, "%05zu", data.size());
        block += id + length + data;
    }
    char size[24];
    std::snprintf(size, sizeof size, "%06zu", block.size());
    return block + size + "LYRICS200";
}

bool RunUnprivileged(const std::function<bool()>& check) {
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(2);
        ::_exit(check() ? 1 : 0);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) > 1) {
        throw std::runtime_error("unprivileged check did not run");
    }
    return WEXITSTATUS(status) == 1;
}

}  // namespace murmex::test
