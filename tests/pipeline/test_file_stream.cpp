// The file stream gathers small writes; what reaches the file, and when a failure is told,
// must be as if every write had gone straight to the system.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pipeline/au_exception.h"
#include "pipeline/au_file_stream.h"

namespace murmex {
namespace {

std::vector<uint8_t> Pattern(std::size_t bytes, uint8_t seed) {
    std::vector<uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(seed + i * 7);
    return data;
}

TEST(FileStream, GatheredWritesLandWhereUnbufferedOnesWould) {
    constexpr std::size_t kBuffer = TAuFileStream::kWriteBufferBytes;
    struct Case {
        std::string name;
        std::vector<std::size_t> writes;
    };
    const std::vector<Case> cases = {
        {"small pieces across the buffer's end", {44, 417, kBuffer - 100, 417, 3}},
        {"a piece larger than the buffer after small ones", {44, 2 * kBuffer + 5, 10}},
        {"exactly the buffer", {kBuffer, kBuffer}},
    };
    const auto path = std::filesystem::temp_directory_path() / ("murmex-file-stream-" + std::to_string(getpid()));
    for (const Case& c : cases) {
        std::vector<uint8_t> expected;
        {
            TAuFileStream file(path, fmCreate);
            uint8_t seed = 1;
            for (const std::size_t bytes : c.writes) {
                const auto piece = Pattern(bytes, seed++);
                file.Write(piece.data(), piece.size());
                expected.insert(expected.end(), piece.begin(), piece.end());
                EXPECT_EQ(file.Position(), static_cast<int64_t>(expected.size())) << c.name;
            }
            EXPECT_EQ(file.Size(), static_cast<int64_t>(expected.size())) << c.name;
            // A patch at the start after more gathered writes, as a header's sizes are written.
            const auto more = Pattern(300, 99);
            file.Write(more.data(), more.size());
            expected.insert(expected.end(), more.begin(), more.end());
            const uint8_t field[4] = {0xAB, 0xCD, 0xEF, 0x01};
            file.Seek(4, TSeekOrigin::soBeginning);
            file.Write(field, sizeof field);
            std::copy(std::begin(field), std::end(field), expected.begin() + 4);
            uint8_t back[4] = {};
            file.Seek(4, TSeekOrigin::soBeginning);
            EXPECT_EQ(file.Read(back, sizeof back), sizeof back) << c.name;
            EXPECT_EQ(std::vector<uint8_t>(back, back + 4), std::vector<uint8_t>(field, field + 4)) << c.name;
            file.Close();
        }
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(written, expected) << c.name;
    }
    std::filesystem::remove(path);
}

TEST(FileStream, AGatheredWriteThatFailsIsRaisedByClose) {
    TAuFileStream file("/dev/full", fmOpenWrite);
    const auto piece = Pattern(100, 3);
    file.Write(piece.data(), piece.size());
    try {
        file.Close();
        FAIL() << "the close hid the failed write";
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "No space left on device");
    }
}

}  // namespace
}  // namespace murmex
