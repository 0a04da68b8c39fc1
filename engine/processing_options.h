#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

namespace murmex {

// How the spectral stage reduces noise. Classic is the engine's original rule set; adaptive
// tracks the noise power with speech-presence weighting and applies a log-spectral-amplitude
// gain to every bin.
enum class NoiseReductionMethod { Classic, Adaptive };

// The method the window, murmex-cli and the plugin start with: the classic rule set barely
// touches real noise, so a newcomer would hear no difference.
inline constexpr NoiseReductionMethod kDefaultMethod = NoiseReductionMethod::Adaptive;

// "classic" / "adaptive", as command lines and settings spell them.
std::string_view MethodName(NoiseReductionMethod method);
std::optional<NoiseReductionMethod> MethodFromName(std::string_view name);

// User settings read by the engine while it runs. The window's thread writes them and the
// processing thread reads them without locks, so each one is a single atomic value.
struct ProcessingOptions {
    ProcessingOptions();

    std::atomic<float> BiasFactor;
    std::atomic<float> ReductionFactor;
    std::atomic<bool> ApplyPreviewReduction{false};  // "Apply preview noise reduction"
    std::atomic<bool> DetailAmplifier{false};             // "Fourier detail amplifier"
    std::atomic<bool> DcOffsetCorrection{false};          // "DC Offset correction"
    std::atomic<bool> StopNoiseEstimation{false};         // "Stop noise estimation"
    std::atomic<bool> CaptureMinima{false};               // "Capture minima"
    // Classic here, not kDefaultMethod: the engine's own tests and benches build these options
    // directly to pin the original rule set's output. The front ends set kDefaultMethod.
    std::atomic<NoiseReductionMethod> Method{NoiseReductionMethod::Classic};
};

// Slider ranges and start positions of the two reduction controls.
inline constexpr int kBiasMinPosition = -20;
inline constexpr int kBiasMaxPosition = 20;
inline constexpr int kBiasInitialPosition = 0;
inline constexpr int kReductionMinPosition = 100;
inline constexpr int kReductionMaxPosition = 1100;
inline constexpr int kReductionInitialPosition = 600;

struct CaptionColour {
    int Red = 0;
    int Green = 0;
    int Blue = 0;
    bool operator==(const CaptionColour&) const = default;
};

struct BiasCaption {
    std::string Text;
    CaptionColour Colour;
};

// Factor of a slider position; positions outside the slider's range are clamped to it.
float BiasFactorFor(int position);
float ReductionFactorFor(int position);

// Sets BiasFactor from a noise bias slider position and returns the caption of its label.
BiasCaption SetBiasPosition(int position, ProcessingOptions& options);

// Sets ReductionFactor from a reduction slider position and returns the caption of its label.
std::string SetReductionPosition(int position, ProcessingOptions& options);

}  // namespace murmex
