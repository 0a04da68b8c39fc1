// Hands noise prints to the decoder: a valid one patched by the input (see noise_print_patch.h),
// or the input's bytes as they are. A refused print leaves the decoder's state as it was, so the
// plugin goes on with its own. A taken one goes into an engine, which then cleans noisy audio
// with the input's settings: its noise estimates and gains stay finite, and its output keeps at
// least a thousandth of the level a fresh engine gives (the deepest cut a print can ask for
// within the checked ranges is about -34 dB; a damaged print used to silence the adaptive method
// for good).
#include <array>
#include <cmath>
#include <memory>
#include <span>

#include "engine/learnt_noise.h"
#include "tests/engine/engine_test_support.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/noise_print_patch.h"

using namespace murmex;
using namespace murmex::fuzz;

namespace {

constexpr std::size_t kBlocks = 8;
constexpr std::size_t kSkippedBlocks = 2;  // the engine's delay and its first frame

struct Print {
    LearntNoise noise;
    std::vector<uint8_t> bytes;
};

// A print learnt from noise by both methods, with "Capture minima" on.
std::unique_ptr<Print> LearntPrint(int channels) {
    test::LoadedEngine loaded(channels);
    loaded.options.CaptureMinima = true;
    const std::vector<double> noise = test::GaussianNoise(16 * SpectralEngine::kBlockSamples, 1500.0, 3);
    const auto learn = test::MakeSignal(noise.size(), [&](std::size_t n) { return noise[n]; });
    for (const auto method : {NoiseReductionMethod::Classic, NoiseReductionMethod::Adaptive}) {
        loaded.options.Method = method;
        test::RunAll(*loaded.engine, learn, true);
    }
    auto print = std::make_unique<Print>();
    print->noise.Capture(*loaded.engine);
    print->bytes = print->noise.Encode();
    return print;
}

const std::vector<int16_t>& NoisyInput() {
    static const std::vector<int16_t> input = [] {
        const std::vector<double> noise = test::GaussianNoise(kBlocks * SpectralEngine::kBlockSamples, 2000.0, 9);
        return test::MakeSignal(noise.size(), [&](std::size_t n) { return noise[n] + test::Sine(n, 3000.0, 0.013); });
    }();
    return input;
}

bool AllFinite(std::span<const float> values) {
    for (const float v : values) {
        if (!std::isfinite(v)) return false;
    }
    return true;
}

// One engine per channel count, kept across inputs (making one plans its transforms, which
// would take most of the time), and the print it has before it has learnt anything: restored,
// that print leaves the engine as a fresh one is.
struct Engine {
    explicit Engine(int channels) : loaded(channels) { fresh.Capture(*loaded.engine); }
    test::LoadedEngine loaded;
    LearntNoise fresh;
};

// RMS of the output after the skipped blocks, from an engine with `settings` that starts
// from `print`, or fresh.
double OutputLevel(uint8_t settings, int channels, const LearntNoise* print) {
    static const std::array<std::unique_ptr<Engine>, 2> engines{std::make_unique<Engine>(1), std::make_unique<Engine>(2)};
    Engine& used = *engines[channels - 1];
    ProcessingOptions& options = used.loaded.options;
    options.Method = settings & kPrintAdaptive ? NoiseReductionMethod::Adaptive : NoiseReductionMethod::Classic;
    options.StopNoiseEstimation = (settings & kPrintStopEstimation) != 0;
    options.CaptureMinima = (settings & kPrintCaptureMinima) != 0;
    options.DetailAmplifier = (settings & kPrintDetail) != 0;
    SpectralEngine& engine = *used.loaded.engine;
    (print != nullptr ? *print : used.fresh).Restore(engine);
    const std::vector<int16_t> output = test::RunAll(engine, NoisyInput(), true);
    MURMEX_FUZZ_CHECK(AllFinite(engine.NoiseEstimate()) && AllFinite(engine.BiasedNoise()) &&
                      AllFinite(engine.BinGain()) && AllFinite(engine.Adaptive().NoisePower()) &&
                      AllFinite(engine.Adaptive().Gain()));
    return test::Rms(output, kSkippedBlocks * SpectralEngine::kBlockSamples);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const uint8_t settings = data[0];
    const int channels = settings & kPrintStereo ? 2 : 1;
    static const std::array<std::unique_ptr<Print>, 2> learnt{LearntPrint(1), LearntPrint(2)};
    const Print& base = *learnt[channels - 1];

    std::vector<uint8_t> bytes = base.bytes;
    const std::span<const uint8_t> rest(data + 1, size - 1);
    if (settings & kPrintRawBytes) {
        bytes.assign(rest.begin(), rest.end());
    } else {
        ApplyPatches(rest, bytes);
    }
    // Kept whole across inputs: the decoder's state is too large for the stack.
    static auto decoded = std::make_unique<LearntNoise>();
    *decoded = base.noise;
    if (!decoded->Decode(bytes)) {
        // The plugin goes on as it was.
        MURMEX_FUZZ_CHECK(decoded->Encode() == base.bytes);
        return 0;
    }

    // The fresh level of each setting, measured once.
    static std::array<double, kPrintRawBytes> freshLevels = [] {
        std::array<double, kPrintRawBytes> levels{};
        levels.fill(-1.0);
        return levels;
    }();
    // A raw print names its own channel count.
    const int restored = decoded->Channels();
    const int key = (settings & (kPrintRawBytes - 1) & ~kPrintStereo) | (restored == 2 ? kPrintStereo : 0);
    double& fresh = freshLevels[key];
    if (fresh < 0.0) fresh = OutputLevel(settings, restored, nullptr);
    const double level = OutputLevel(settings, restored, decoded.get());
    MURMEX_FUZZ_CHECK(fresh == 0.0 || level >= fresh / 1000.0);
    return 0;
}
