#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "pipeline/au_stream.h"

namespace murmex {

// Mode words as in the usual file-open modes: the low two bits choose the access, bits 4-7
// the sharing. fmCreate creates the file or empties an existing one (create-always) and
// opens it for reading and writing; every other mode needs an existing file.
constexpr uint32_t fmCreate = 0xFF00;
constexpr uint32_t fmOpenRead = 0x0000;
constexpr uint32_t fmOpenWrite = 0x0001;
constexpr uint32_t fmOpenReadWrite = 0x0002;
constexpr uint32_t fmShareExclusive = 0x0010;
constexpr uint32_t fmShareDenyWrite = 0x0020;
constexpr uint32_t fmShareDenyRead = 0x0030;
constexpr uint32_t fmShareDenyNone = 0x0040;

// A file stream opened by name. Opening, reading, writing, seeking and closing failures raise
// EAuException with the system's text for the error (for example "No space left on device").
// The sharing bits are accepted for compatibility; Linux has no mandatory share modes.
//
// Small writes are gathered into kWriteBufferBytes before they reach the system, so an encoder
// that hands over one frame at a time costs few system calls. Every other operation writes the
// gathered bytes first, and so does Close: a failure to write them is raised there at the
// latest, never lost.
class TAuFileStream : public TAuStream {
public:
    TAuFileStream(const std::filesystem::path& fileName, uint32_t mode);
    ~TAuFileStream() override;
    TAuFileStream(const TAuFileStream&) = delete;
    TAuFileStream& operator=(const TAuFileStream&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Position() override;
    int64_t Size() override;

    // Writes what is gathered, closes the file and reports a failure of either (including
    // delayed write errors). The destructor does the same silently when Close was not called.
    void Close();

    static constexpr std::size_t kWriteBufferBytes = 64 * 1024;

private:
    // Writes the gathered bytes; they count as handed over even when that fails.
    void Flush();
    void WriteAll(const uint8_t* bytes, std::size_t count);

    int Fd = -1;
    std::unique_ptr<uint8_t[]> Pending;  // gathered writes, allocated with the first one
    std::size_t PendingBytes = 0;
};

}  // namespace murmex
