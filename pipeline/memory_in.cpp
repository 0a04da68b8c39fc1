#include "pipeline/memory_in.h"

#include <algorithm>

#include "pipeline/au_exception.h"

namespace murmex {

unsigned TMemoryIn::InBitsPerSample() {
    if (FBitsPerSample != 8 && FBitsPerSample != 16 && FBitsPerSample != 24 && FBitsPerSample != 32)
        FBitsPerSample = 16;
    return FBitsPerSample;
}

unsigned TMemoryIn::InChannels() { return FChannels; }

unsigned TMemoryIn::InSampleRate() { return FSampleRate; }

void TMemoryIn::StartImpl() {
    FReadPosition = 0;
    ServeLimit = static_cast<uint32_t>(FBufferBytes);
    ReadOffset = 0;
    // A product beyond 64 bits is as good as endless, but still a known size.
    int64_t size = -1;
    if (FRepeatCount >= 0 && __builtin_mul_overflow(FBufferBytes, int64_t{FRepeatCount}, &size))
        size = INT64_MAX;
    FStreamSize = size;
    Opened = true;
}

void TMemoryIn::FinishImpl() {
    Opened = false;
    FBufferBytes = 0;
}

void TMemoryIn::ReadImpl(const uint8_t*& buffer, std::size_t& bytes) {
    if (!Opened) throw EAuException("The Stream is not opened");
    buffer = nullptr;
    if (FBufferPointer == nullptr) {
        bytes = 0;
        return;
    }
    if (ReadOffset >= ServeLimit) {
        const int64_t size = FStreamSize;
        // Only an endless input (-1) repeats without end; a RepeatCount of 0 must not.
        if (FBufferBytes != 0 && (size < 0 || FReadPosition < size)) {
            ReadOffset = 0;
        } else if (!OnBufferDone) {
            bytes = 0;
            return;
        } else {
            OnBufferDone(*this);
            if (FBufferPointer == nullptr || FBufferBytes == 0 || FRepeatCount == 0) {
                bytes = 0;
                return;
            }
            ReadOffset = 0;
        }
    }
    bytes = std::min<std::size_t>(bytes, ServeLimit - ReadOffset);
    buffer = FBufferPointer + ReadOffset;
    ReadOffset += static_cast<uint32_t>(bytes);
    FReadPosition += static_cast<int64_t>(bytes);
}

}  // namespace murmex
