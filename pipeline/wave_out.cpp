#include "pipeline/wave_out.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "pipeline/au_exception.h"
#include "pipeline/ima_adpcm.h"
#include "pipeline/little_endian.h"
#include "pipeline/wav_header_reader.h"

namespace murmex {

namespace {

// As much as the export hands over per refill, so that a refill is written in one piece.
constexpr std::size_t PcmChunkBytes = 65536;
constexpr int64_t SizeFieldMax = 0xFFFFFFFF;

// Size fields hold 32 bits; larger sizes get 0xFFFFFFFF, which readers take as "to the end
// of the file", instead of a wrapped value.
uint32_t SizeField(int64_t value) {
    return static_cast<uint32_t>(std::clamp<int64_t>(value, 0, SizeFieldMax));
}

// The usual speaker assignment for each channel count; 0 (no assignment) beyond eight.
uint32_t ChannelMask(unsigned channels) {
    static constexpr uint32_t Masks[] = {0x0, 0x1, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x70F, 0xFF};
    return channels < std::size(Masks) ? Masks[channels] : 0;
}

constexpr uint8_t PcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                      0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

void PutId(uint8_t* at, const char* id) { std::memcpy(at, id, 4); }

}  // namespace

TWaveOut::TWaveOut() = default;

TWaveOut::~TWaveOut() { RequestStop(false); }

void TWaveOut::SetWavType(TWavType type) {
    if (Running()) return;
    if (type == TWavType::wtPCM || type == TWavType::wtDVIADPCM) FWavType = type;
}

void TWaveOut::SetBlockSize(uint16_t size) {
    if (Running() || size == 0 || size % 4 != 0) return;
    FBlockSize = size;
}

void TWaveOut::SetFileMode(TFileOutputMode mode) { FFileMode = mode; }

void TWaveOut::FailInit(const std::string& message) {
    Input()->FinishInput();
    StreamReady = false;
    CloseOutputFile();
    throw EAuException(message);
}

void TWaveOut::Init() {
    EndReached = false;
    StreamReady = false;
    Appending = false;
    SamplesBefore = 0;
    SamplesWritten = 0;
    Layout = {};
    if (!StreamFromCaller()) {
        const bool exists = !FileName().empty() && std::filesystem::exists(FileName());
        OpenOutputFile(FFileMode == TFileOutputMode::foAppend && exists
                           ? fmOpenReadWrite | fmShareExclusive
                           : fmCreate);
    }
    StreamReady = true;
    TAuInput& input = *Input();
    input.StartInput();
    if ((input.InChannels() > 2 || input.InBitsPerSample() > 16) && !CreateNonMsHeaders)
        FWavType = TWavType::wtExtPCM;
    if (FFileMode == TFileOutputMode::foAppend && OutputStream->Size() > 0) OpenForAppend();

    switch (FWavType) {
        case TWavType::wtPCM:
            if (!Appending) {
                WriteHeader(FWavType);
                break;
            }
            if (input.InSampleRate() != Layout.SampleRate ||
                input.InBitsPerSample() != Layout.BitsPerSample ||
                input.InChannels() != Layout.Channels)
                FailInit("Cannot append data in different audio format.");
            OutputStream->Seek(0, TSeekOrigin::soEnd);
            break;
        case TWavType::wtDVIADPCM: InitAdpcm(); break;
        default: WriteHeader(FWavType); break;
    }
    SetOutputSampleRate(input.InSampleRate());
}

void TWaveOut::OpenForAppend() {
    Layout = ReadWavHeader(*OutputStream);
    // Data that is not the last chunk cannot grow without overwriting what follows it.
    const bool dataAtEnd = Layout.DataStart + Layout.DataSize == OutputStream->Size();
    // PCM data that ends inside a frame would put every appended frame out of step.
    const bool wholeFrames = Layout.Type != TWavType::wtPCM ||
                             (Layout.BlockAlign != 0 && Layout.DataSize % Layout.BlockAlign == 0);
    if ((Layout.Type != TWavType::wtPCM && Layout.Type != TWavType::wtDVIADPCM) || !dataAtEnd || !wholeFrames)
        FailInit("Cannot append data to this .wav file.");
    FWavType = Layout.Type;
    Appending = true;
}

void TWaveOut::WriteHeader(TWavType type) {
    TAuInput& input = *Input();
    const unsigned channels = input.InChannels();
    const unsigned bits = input.InBitsPerSample();
    const uint32_t rate = input.InSampleRate();
    const bool extensible = type == TWavType::wtExtPCM;
    const bool adpcm = type == TWavType::wtDVIADPCM;
    const uint32_t samplesPerBlock = adpcm ? ImaAdpcm::SamplesPerBlock(FBlockSize, channels) : 0;
    const uint32_t blockAlign = adpcm ? FBlockSize : bits * channels / 8;
    const uint64_t byteRate =
        adpcm ? uint64_t{rate} * blockAlign / samplesPerBlock : uint64_t{rate} * blockAlign;
    // Any rate is written as it is, as long as the header can state it and its byte rate.
    if (rate == 0 || byteRate > UINT32_MAX) FailInit(UnwritableRateMessage(rate, "WAV"));
    const uint32_t fmtSize = extensible ? 40 : adpcm ? 20 : 16;

    uint8_t header[68] = {};
    std::size_t at = 12;
    PutId(header, "RIFF");
    PutId(header + 8, "WAVE");
    PutId(header + at, "fmt ");
    PutLe32(header + at + 4, fmtSize);
    uint8_t* fmt = header + at + 8;
    PutLe16(fmt, extensible ? 0xFFFE : adpcm ? 17 : 1);
    PutLe16(fmt + 2, channels);
    PutLe32(fmt + 4, rate);
    PutLe32(fmt + 8, static_cast<uint32_t>(byteRate));
    PutLe16(fmt + 12, blockAlign);
    PutLe16(fmt + 14, adpcm ? 4 : bits);
    if (extensible) {
        PutLe16(fmt + 16, 22);
        PutLe16(fmt + 18, bits);
        PutLe32(fmt + 20, ChannelMask(channels));
        std::memcpy(fmt + 24, PcmSubFormat, sizeof PcmSubFormat);
    } else if (adpcm) {
        PutLe16(fmt + 16, 2);
        PutLe16(fmt + 18, samplesPerBlock);
    }
    at += 8 + fmtSize;
    Layout = {};
    if (adpcm) {
        PutId(header + at, "fact");
        PutLe32(header + at + 4, 4);
        Layout.FactPosition = static_cast<int64_t>(at + 8);
        at += 12;
    }
    PutId(header + at, "data");
    Layout.DataSizePosition = static_cast<int64_t>(at + 4);
    Layout.DataStart = static_cast<int64_t>(at + 8);

    // Sizes as announced by the input; Done corrects them when the run ends otherwise. An
    // unknown size is written as the largest, so a file cut short is still read to its end.
    const int64_t announced = input.StreamSize();
    if (announced < 0 || adpcm) {
        PutLe32(header + 4, adpcm ? SizeField(Layout.DataStart - 8) : 0xFFFFFFFF);
        PutLe32(header + at + 4, adpcm ? 0 : 0xFFFFFFFF);
    } else {
        PutLe32(header + 4, SizeField(announced + Layout.DataStart - 8));
        PutLe32(header + at + 4, SizeField(announced));
    }
    OutputStream->Write(header, static_cast<std::size_t>(Layout.DataStart));
}

void TWaveOut::InitAdpcm() {
    TAuInput& input = *Input();
    const unsigned channels = input.InChannels();
    if (input.InBitsPerSample() != 16) FailInit("Cannot encode 8 bit sound into ADPCM.");
    if (Appending) {
        if (input.InSampleRate() != Layout.SampleRate || channels != Layout.Channels)
            FailInit("Cannot append data in different audio format.");
        FBlockSize = Layout.BlockAlign;
        if (Layout.FactPosition >= 0) {
            uint8_t count[4];
            OutputStream->Seek(Layout.FactPosition, TSeekOrigin::soBeginning);
            if (OutputStream->Read(count, sizeof count) == sizeof count) SamplesBefore = GetLe32(count);
        }
    }
    const unsigned perBlock = ImaAdpcm::SamplesPerBlock(FBlockSize, channels);
    if (perBlock == 0) FailInit("Cannot encode ADPCM blocks of this size.");
    PcmBlock.assign(std::size_t{perBlock} * channels, 0);
    AdpcmBlock.assign(FBlockSize, 0);
    StepIndex.assign(channels, 0);
    if (Appending)
        OutputStream->Seek(0, TSeekOrigin::soEnd);
    else
        WriteHeader(TWavType::wtDVIADPCM);
}

bool TWaveOut::DoOutput(bool abort) {
    if (!OutputOpen()) return true;
    if (abort || EndReached) return false;
    if (FWavType == TWavType::wtDVIADPCM) return WriteAdpcmBlock();
    const uint8_t* buffer = nullptr;
    std::size_t bytes = PcmChunkBytes;
    Input()->GetBlock(buffer, bytes);
    if (buffer == nullptr || bytes == 0) return false;
    OutputStream->Write(buffer, bytes);
    return true;
}

bool TWaveOut::WriteAdpcmBlock() {
    bool endOfInput = false;
    const std::size_t bytes = PcmBlock.size() * sizeof(int16_t);
    const std::size_t got = Input()->FillBlock(PcmBlock.data(), bytes, endOfInput);
    if (got == 0) return false;
    // The last block is completed with silence; the fact chunk tells the real length.
    std::fill(PcmBlock.begin() + static_cast<std::ptrdiff_t>((got + 1) / 2), PcmBlock.end(), 0);
    const unsigned channels = static_cast<unsigned>(StepIndex.size());
    ImaAdpcm::EncodeBlock(PcmBlock.data(), channels, FBlockSize, AdpcmBlock.data(), StepIndex.data());
    OutputStream->Write(AdpcmBlock.data(), AdpcmBlock.size());
    SamplesWritten += static_cast<int64_t>(got / (2 * channels));
    EndReached = endOfInput;
    return !EndReached;
}

void TWaveOut::WriteSizeAt(int64_t position, int64_t value) {
    uint8_t field[4];
    PutLe32(field, SizeField(value));
    OutputStream->Seek(position, TSeekOrigin::soBeginning);
    OutputStream->Write(field, sizeof field);
}

void TWaveOut::PatchSizes() {
    const int64_t fileSize = OutputStream->Size();
    WriteSizeAt(Layout.DataSizePosition, fileSize - Layout.DataStart);
    if (FWavType == TWavType::wtDVIADPCM && Layout.FactPosition >= 0)
        WriteSizeAt(Layout.FactPosition, SamplesBefore + SamplesWritten);
    WriteSizeAt(4, fileSize - 8);
}

void TWaveOut::FinishFile() {
    // Nothing to correct when the run failed before a header was written or found.
    if (Layout.DataSizePosition < 0) return;
    // The sizes come from the real file unless the run delivered at most what the header
    // announced; then the missing part is filled with silence so that the header holds.
    // A failed run never gets padding it did not write.
    const int64_t announced = Input()->StreamSize();
    const bool patch = announced < 0 || FFileMode == TFileOutputMode::foAppend || StopRequested() ||
                       !ErrorText().empty() || FWavType == TWavType::wtDVIADPCM;
    const int64_t missing = announced + Layout.DataStart - OutputStream->Position();
    if (patch || missing < 0) {
        PatchSizes();
        return;
    }
    static constexpr uint8_t Zeros[4096] = {};
    for (int64_t left = missing; left > 0;) {
        const auto chunk = static_cast<std::size_t>(std::min<int64_t>(left, sizeof Zeros));
        OutputStream->Write(Zeros, chunk);
        left -= static_cast<int64_t>(chunk);
    }
}

void TWaveOut::Done() {
    std::exception_ptr failure;
    if (StreamReady) {
        StreamReady = false;
        try {
            FinishFile();
        } catch (...) {
            failure = std::current_exception();
        }
        try {
            CloseOutputFile();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    Input()->FinishInput();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace murmex
