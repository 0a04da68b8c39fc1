#pragma once

#include <cstddef>
#include <cstdint>

namespace murmex {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A byte stream an output writes to. Every method raises EAuException on failure, so a
// failed or short write can never pass unnoticed.
class TAuStream {
public:
    virtual ~TAuStream() = default;
    // Reads up to `count` bytes; returns how many were read (0 at the end).
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Writes all `count` bytes or raises.
    virtual void Write(const void* buffer, std::size_t count) = 0;
    // Returns the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Position() = 0;
    virtual int64_t Size() = 0;
};

}  // namespace murmex
