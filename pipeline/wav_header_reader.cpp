#include "pipeline/wav_header_reader.h"

#include <cstring>

#include "pipeline/ima_adpcm.h"
#include "pipeline/little_endian.h"

namespace murmex {

namespace {

constexpr int64_t SearchLimit = 8192;
constexpr uint16_t TagPcm = 1;
constexpr uint16_t TagMsAdpcm = 2;
constexpr uint16_t TagIeeeFloat = 3;
constexpr uint16_t TagDviAdpcm = 17;
constexpr uint16_t TagExtensible = 0xFFFE;

bool ReadExactly(TAuStream& stream, uint8_t* buffer, std::size_t count) {
    return stream.Read(buffer, count) == count;
}

TWavType TypeOfTag(uint16_t tag, const uint8_t* fmt, uint32_t fmtSize) {
    switch (tag) {
        case TagPcm: return TWavType::wtPCM;
        case TagDviAdpcm: return TWavType::wtDVIADPCM;
        case TagMsAdpcm: return TWavType::wtMSADPCM;
        case TagIeeeFloat: return TWavType::wtIEEEFloat;
        case TagExtensible: {
            // The sub-format GUID starts with the format tag it extends.
            if (fmtSize < 40) return TWavType::wtUnsupported;
            const uint16_t sub = GetLe16(fmt + 24);
            if (sub == TagPcm) return TWavType::wtExtPCM;
            if (sub == TagIeeeFloat) return TWavType::wtExtIEEEFloat;
            return TWavType::wtUnsupported;
        }
        default: return TWavType::wtACM;
    }
}

// Checks what later readers and writers rely on, so that no damaged value reaches them.
bool Plausible(const WavFileFormat& format) {
    if (format.Channels == 0 || format.SampleRate == 0) return false;
    switch (format.Type) {
        case TWavType::wtPCM:
        case TWavType::wtExtPCM:
            return (format.BitsPerSample == 8 || format.BitsPerSample == 16 ||
                    format.BitsPerSample == 24 || format.BitsPerSample == 32) &&
                   format.BlockAlign == format.BitsPerSample / 8 * format.Channels;
        case TWavType::wtDVIADPCM: return format.BitsPerSample == 4 && format.SamplesPerBlock != 0;
        default: return true;
    }
}

}  // namespace

WavFileFormat ReadWavHeader(TAuStream& stream) {
    WavFileFormat format;
    const WavFileFormat unsupported;
    const int64_t fileSize = stream.Size();
    stream.Seek(0, TSeekOrigin::soBeginning);
    uint8_t riff[12];
    if (!ReadExactly(stream, riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return unsupported;

    bool haveFormat = false;
    int64_t position = 12;
    while (position + 8 <= fileSize && position <= SearchLimit) {
        uint8_t header[8];
        stream.Seek(position, TSeekOrigin::soBeginning);
        if (!ReadExactly(stream, header, sizeof header)) return unsupported;
        const uint32_t size = GetLe32(header + 4);
        const int64_t body = position + 8;
        const int64_t available = fileSize - body;

        if (std::memcmp(header, "data", 4) == 0) {
            if (!haveFormat || !Plausible(format)) return unsupported;
            format.DataSizePosition = position + 4;
            format.DataStart = body;
            // 0xFFFFFFFF stands for "larger than a size field holds"; either way never more
            // than the file has.
            format.DataSize = size < available ? size : available;
            return format;
        }
        if (static_cast<int64_t>(size) > available) return unsupported;
        if (std::memcmp(header, "fmt ", 4) == 0) {
            uint8_t fmt[40] = {};
            if (size < 16) return unsupported;
            const uint32_t wanted = size < sizeof fmt ? size : sizeof fmt;
            if (!ReadExactly(stream, fmt, wanted)) return unsupported;
            format.Type = TypeOfTag(GetLe16(fmt), fmt, size);
            format.Channels = GetLe16(fmt + 2);
            format.SampleRate = GetLe32(fmt + 4);
            format.BlockAlign = GetLe16(fmt + 12);
            format.BitsPerSample = GetLe16(fmt + 14);
            if (format.Type == TWavType::wtDVIADPCM)
                format.SamplesPerBlock = ImaAdpcm::SamplesPerBlock(format.BlockAlign, format.Channels);
            haveFormat = true;
        } else if (std::memcmp(header, "fact", 4) == 0 && size >= 4) {
            format.FactPosition = body;
        }
        // Chunks are word aligned: an odd size is followed by a pad byte.
        position = body + size + (size & 1);
    }
    return unsupported;
}

}  // namespace murmex
