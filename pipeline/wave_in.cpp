#include "pipeline/wave_in.h"

#include <algorithm>

#include "pipeline/au_exception.h"
#include "pipeline/ima_adpcm.h"
#include "pipeline/wav_header_reader.h"

namespace murmex {

namespace {

constexpr std::size_t PcmChunkBytes = 16384;

bool IsPcm(TWavType type) { return type == TWavType::wtPCM || type == TWavType::wtExtPCM; }

}  // namespace

TWavType TWaveIn::WavType() {
    OpenFile();
    return FFormat.Type;
}

const WavFileFormat& TWaveIn::Format() {
    OpenFile();
    return FFormat;
}

void TWaveIn::ReadHeader() {
    FFormat = ReadWavHeader(*FStream);
    const bool adpcm = FFormat.Type == TWavType::wtDVIADPCM;
    FValid = IsPcm(FFormat.Type) || adpcm;
    if (!FValid) return;
    FChannels = FFormat.Channels;
    FSampleRate = FFormat.SampleRate;
    FBitsPerSample = adpcm ? 16 : FFormat.BitsPerSample;
    FTotalSamples = adpcm ? FFormat.DataSize / FFormat.BlockAlign * FFormat.SamplesPerBlock
                          : FFormat.DataSize / FFormat.BlockAlign;
}

void TWaveIn::StartImpl() {
    OpenFile();
    if (!FValid) throw EAuException("Unsupported .wav format.");
    FStream->Seek(FFormat.DataStart, TSeekOrigin::soBeginning);
    DataLeft = WholeBlockBytes();
    FReadPosition = 0;
    FStreamSize = FTotalSamples * FChannels * (FBitsPerSample / 8);
    if (FFormat.Type == TWavType::wtDVIADPCM) {
        Raw.resize(FFormat.BlockAlign);
        Decoded.resize(std::size_t{FFormat.SamplesPerBlock} * FChannels);
    } else {
        Raw.resize(PcmChunkBytes);
    }
    DecodedOffset = DecodedBytes();
}

void TWaveIn::FinishImpl() { CloseFile(); }

bool TWaveIn::DecodeNextAdpcmBlock() {
    if (DataLeft < FFormat.BlockAlign) return false;
    if (FStream->Read(Raw.data(), Raw.size()) != Raw.size()) return false;
    DataLeft -= FFormat.BlockAlign;
    ImaAdpcm::DecodeBlock(Raw.data(), FChannels, FFormat.BlockAlign, Decoded.data());
    DecodedOffset = 0;
    return true;
}

void TWaveIn::ReadImpl(const uint8_t*& buffer, std::size_t& bytes) {
    if (!FOpened) throw EAuException("The Stream is not opened");
    buffer = nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::size_t got = 0;
        if (FFormat.Type == TWavType::wtDVIADPCM) {
            if (DecodedOffset < DecodedBytes() || DecodeNextAdpcmBlock()) {
                got = std::min(bytes, DecodedBytes() - DecodedOffset);
                buffer = reinterpret_cast<const uint8_t*>(Decoded.data()) + DecodedOffset;
                DecodedOffset += got;
            }
        } else {
            const auto wanted = static_cast<std::size_t>(
                std::min<int64_t>({static_cast<int64_t>(bytes), DataLeft, static_cast<int64_t>(Raw.size())}));
            got = FStream->Read(Raw.data(), wanted);
            DataLeft -= static_cast<int64_t>(got);
            buffer = Raw.data();
        }
        if (got > 0 || !Loop || WholeBlockBytes() == 0) {
            bytes = got;
            FReadPosition += static_cast<int64_t>(got);
            return;
        }
        // Looping: serve the data again from its start.
        FStream->Seek(FFormat.DataStart, TSeekOrigin::soBeginning);
        DataLeft = WholeBlockBytes();
        DecodedOffset = DecodedBytes();
    }
    bytes = 0;
}

}  // namespace murmex
