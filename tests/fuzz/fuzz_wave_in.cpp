// Reads arbitrary bytes as a WAV file through the pipeline's WAV input. A valid file has a
// usable format, serves exactly the whole frames its header announces, and serves the same
// bytes again when it loops.
#include <algorithm>
#include <vector>

#include "pipeline/au_exception.h"
#include "pipeline/wave_in.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/pipeline/pipeline_test_support.h"

using namespace murmex;
using namespace murmex::fuzz;

namespace {

// Decoded ADPCM grows about fourfold; a bound keeps one input from taking seconds.
constexpr int64_t kMaxServedBytes = 8 << 20;

// Everything the input serves in `total` bytes, asked for in pieces of whole frames.
std::vector<uint8_t> Serve(TWaveIn& input, int64_t total, std::size_t frameBytes) {
    std::vector<uint8_t> served;
    std::vector<uint8_t> piece(frameBytes * 1000);
    while (static_cast<int64_t>(served.size()) < total) {
        const auto wanted = static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(piece.size()),
                                                                        total - static_cast<int64_t>(served.size())));
        const std::size_t got = input.CopyBlock(piece.data(), wanted);
        if (got == 0) break;
        MURMEX_FUZZ_CHECK(got % frameBytes == 0);
        served.insert(served.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(got));
    }
    return served;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    test::MemoryStream stream;
    stream.Bytes.assign(data, data + size);
    TWaveIn input;
    input.SetStream(&stream);
    if (!input.Valid()) {
        bool refused = false;
        try {
            input.StartInput();
        } catch (const EAuException&) {
            refused = true;
        }
        MURMEX_FUZZ_CHECK(refused && input.StartFailed());
        return 0;
    }
    const unsigned channels = input.InChannels();
    const unsigned bits = input.InBitsPerSample();
    MURMEX_FUZZ_CHECK(channels > 0 && input.InSampleRate() > 0);
    MURMEX_FUZZ_CHECK(bits == 8 || bits == 16 || bits == 24 || bits == 32);
    MURMEX_FUZZ_CHECK(input.TotalSamples() >= 0);
    const std::size_t frameBytes = std::size_t{channels} * bits / 8;

    input.StartInput();
    const int64_t announced = input.StreamSize();
    MURMEX_FUZZ_CHECK(announced == input.TotalSamples() * static_cast<int64_t>(frameBytes));
    if (announced > kMaxServedBytes) return 0;
    const std::vector<uint8_t> once = Serve(input, announced + static_cast<int64_t>(frameBytes), frameBytes);
    MURMEX_FUZZ_CHECK(static_cast<int64_t>(once.size()) == announced);
    MURMEX_FUZZ_CHECK(input.ReadPosition() == announced);
    input.FinishInput();

    if (announced == 0) return 0;
    input.Loop = true;
    input.StartInput();
    const std::vector<uint8_t> twice = Serve(input, 2 * announced, frameBytes);
    MURMEX_FUZZ_CHECK(twice.size() == 2 * once.size());
    MURMEX_FUZZ_CHECK(std::equal(once.begin(), once.end(), twice.begin()) &&
                      std::equal(once.begin(), once.end(), twice.begin() + static_cast<std::ptrdiff_t>(once.size())));
    input.FinishInput();
    return 0;
}
