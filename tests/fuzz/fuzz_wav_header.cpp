// Parses arbitrary bytes as a RIFF/WAVE header. An accepted header describes a format the
// readers and writers can use, and every position it reports lies inside the stream.
#include "pipeline/wav_header_reader.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/pipeline/pipeline_test_support.h"

using namespace murmex;
using namespace murmex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    test::MemoryStream stream;
    stream.Bytes.assign(data, data + size);
    const WavFileFormat format = ReadWavHeader(stream);
    if (format.DataStart < 0) {
        MURMEX_FUZZ_CHECK(format.Type == TWavType::wtUnsupported && format.DataSize == 0);
        return 0;
    }
    // A header was found, though perhaps of a kind nothing here reads.
    const auto fileSize = static_cast<int64_t>(size);
    MURMEX_FUZZ_CHECK(BytesAt(stream.Bytes, 0, "RIFF") && BytesAt(stream.Bytes, 8, "WAVE"));
    MURMEX_FUZZ_CHECK(format.Channels > 0 && format.SampleRate > 0);
    // The data chunk: its id and size field inside the stream, its bytes no further than its end.
    MURMEX_FUZZ_CHECK(format.DataStart >= 20 && format.DataStart <= fileSize);
    MURMEX_FUZZ_CHECK(format.DataSizePosition == format.DataStart - 4);
    MURMEX_FUZZ_CHECK(BytesAt(stream.Bytes, static_cast<std::size_t>(format.DataStart - 8), "data"));
    MURMEX_FUZZ_CHECK(format.DataSize >= 0 && format.DataSize <= fileSize - format.DataStart);
    if (format.FactPosition >= 0) MURMEX_FUZZ_CHECK(format.FactPosition + 4 <= format.DataStart - 8);
    switch (format.Type) {
        case TWavType::wtPCM:
        case TWavType::wtExtPCM:
            MURMEX_FUZZ_CHECK(format.BitsPerSample % 8 == 0 && format.BitsPerSample >= 8 && format.BitsPerSample <= 32);
            MURMEX_FUZZ_CHECK(format.BlockAlign == format.Channels * format.BitsPerSample / 8);
            break;
        case TWavType::wtDVIADPCM:
            MURMEX_FUZZ_CHECK(format.SamplesPerBlock > 0 && format.BlockAlign >= 4u * format.Channels);
            break;
        default:
            break;
    }
    return 0;
}
