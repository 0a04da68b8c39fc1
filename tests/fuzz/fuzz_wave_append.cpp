// Appends PCM of an arbitrary format to arbitrary existing files with the WAV writer. A refused
// append leaves the file byte for byte and says why; an accepted one keeps every old byte but
// the size fields, adds the new audio at the end and leaves sizes that match the file.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "pipeline/ima_adpcm.h"
#include "pipeline/little_endian.h"
#include "pipeline/memory_in.h"
#include "pipeline/wav_header_reader.h"
#include "pipeline/wave_out.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/pipeline/pipeline_test_support.h"

using namespace murmex;
using namespace murmex::fuzz;

namespace {

constexpr std::array<const char*, 4> kRefusals = {
    "Cannot append data to this .wav file.", "Cannot append data in different audio format.",
    "Cannot encode 8 bit sound into ADPCM.", "Cannot encode ADPCM blocks of this size."};

WavFileFormat HeaderOf(const std::vector<uint8_t>& file) {
    test::MemoryStream stream;
    stream.Bytes = file;
    return ReadWavHeader(stream);
}

uint32_t SizeField(std::size_t value) { return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(value); }

bool InField(std::size_t at, int64_t field) {
    return field >= 0 && at >= static_cast<std::size_t>(field) && at < static_cast<std::size_t>(field) + 4;
}

// The bytes the new audio takes in the file: the PCM itself, or whole ADPCM blocks.
std::size_t EncodedBytes(const WavFileFormat& file, std::size_t pcmBytes, unsigned channels) {
    if (file.Type != TWavType::wtDVIADPCM) return pcmBytes;
    const std::size_t frames = pcmBytes / (2 * channels);
    const std::size_t perBlock = ImaAdpcm::SamplesPerBlock(file.BlockAlign, channels);
    return (frames + perBlock - 1) / perBlock * file.BlockAlign;
}

void CheckAppended(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after,
                   const std::vector<uint8_t>& pcm, unsigned channels) {
    const WavFileFormat old = HeaderOf(before);
    MURMEX_FUZZ_CHECK(old.Type == TWavType::wtPCM || old.Type == TWavType::wtDVIADPCM);
    MURMEX_FUZZ_CHECK(old.DataStart + old.DataSize == static_cast<int64_t>(before.size()));
    MURMEX_FUZZ_CHECK(after.size() == before.size() + EncodedBytes(old, pcm.size(), channels));
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (!InField(i, 4) && !InField(i, old.DataSizePosition) && !InField(i, old.FactPosition))
            MURMEX_FUZZ_CHECK(after[i] == before[i]);
    }
    if (old.Type == TWavType::wtPCM)
        MURMEX_FUZZ_CHECK(std::equal(pcm.begin(), pcm.end(), after.begin() + static_cast<std::ptrdiff_t>(before.size())));
    // ADPCM: the fact chunk counts the samples per channel before and after the append.
    if (old.Type == TWavType::wtDVIADPCM && old.FactPosition >= 0) {
        const uint64_t samples = uint64_t{GetLe32(before.data() + old.FactPosition)} + pcm.size() / (2 * channels);
        MURMEX_FUZZ_CHECK(GetLe32(after.data() + old.FactPosition) == SizeField(samples));
    }
    MURMEX_FUZZ_CHECK(GetLe32(after.data() + 4) == SizeField(after.size() - 8));
    MURMEX_FUZZ_CHECK(GetLe32(after.data() + old.DataSizePosition) ==
                      SizeField(after.size() - static_cast<std::size_t>(old.DataStart)));
    const WavFileFormat now = HeaderOf(after);
    MURMEX_FUZZ_CHECK(now.Type == old.Type && now.DataStart == old.DataStart &&
                      now.DataStart + now.DataSize == static_cast<int64_t>(after.size()));
}

void CheckFresh(const std::vector<uint8_t>& after, const std::vector<uint8_t>& pcm, TWavType type) {
    const WavFileFormat fresh = HeaderOf(after);
    MURMEX_FUZZ_CHECK(fresh.Type != TWavType::wtUnsupported);
    MURMEX_FUZZ_CHECK(fresh.DataStart + fresh.DataSize == static_cast<int64_t>(after.size()));
    if (type != TWavType::wtDVIADPCM) {
        MURMEX_FUZZ_CHECK(fresh.DataSize == static_cast<int64_t>(pcm.size()));
        MURMEX_FUZZ_CHECK(std::equal(pcm.begin(), pcm.end(), after.begin() + fresh.DataStart));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const unsigned channels = input.ConsumeIntegralInRange<unsigned>(1, 3);
    const unsigned bits = 8 * input.ConsumeIntegralInRange<unsigned>(1, 3);
    const unsigned rate = input.PickValueInArray({8000u, 22050u, 44100u, 48000u});
    const bool adpcm = input.ConsumeBool();
    const auto blockSize = input.ConsumeIntegral<uint16_t>();
    std::vector<uint8_t> pcm(input.ConsumeIntegralInRange<std::size_t>(0, 600) * channels * bits / 8);
    for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(i * 7 + 3);
    const std::vector<uint8_t> before = input.ConsumeRemainingBytes<uint8_t>();

    const auto path = ScratchPath("append.wav");
    WriteScratch(path, before.data(), before.size());
    TMemoryIn source;
    source.SetInChannels(channels);
    source.SetInBitsPerSample(bits);
    source.SetInSampleRate(rate);
    source.SetBufferPointer(pcm.data());
    source.SetBufferBytes(static_cast<int64_t>(pcm.size()));
    TWaveOut writer;
    writer.SetInput(&source);
    writer.SetFileName(path.string());
    writer.SetFileMode(TFileOutputMode::foAppend);
    if (adpcm) writer.SetWavType(TWavType::wtDVIADPCM);
    writer.SetBlockSize(blockSize);
    test::EventLog log;
    log.Attach(writer);
    test::RunToDone(writer, log);

    const std::vector<uint8_t> after = test::ReadFileBytes(path);
    const std::string error = writer.ErrorText();
    if (!error.empty()) {
        MURMEX_FUZZ_CHECK(std::find(kRefusals.begin(), kRefusals.end(), error) != kRefusals.end());
        MURMEX_FUZZ_CHECK(after == before);
    } else if (before.empty()) {
        CheckFresh(after, pcm, writer.WavType());
    } else {
        CheckAppended(before, after, pcm, channels);
    }
    return 0;
}
