#include "engine/processing_options.h"

#include <algorithm>
#include <cmath>

namespace murmex {

namespace {

int ClampBias(int position) { return std::clamp(position, kBiasMinPosition, kBiasMaxPosition); }

int ClampReduction(int position) {
    return std::clamp(position, kReductionMinPosition, kReductionMaxPosition);
}

}  // namespace

std::string_view MethodName(NoiseReductionMethod method) {
    return method == NoiseReductionMethod::Adaptive ? "adaptive" : "classic";
}

std::optional<NoiseReductionMethod> MethodFromName(std::string_view name) {
    for (auto method : {NoiseReductionMethod::Classic, NoiseReductionMethod::Adaptive}) {
        if (MethodName(method) == name) return method;
    }
    return std::nullopt;
}

ProcessingOptions::ProcessingOptions()
    : BiasFactor(BiasFactorFor(kBiasInitialPosition)),
      ReductionFactor(ReductionFactorFor(kReductionInitialPosition)) {}

float BiasFactorFor(int position) {
    return static_cast<float>(std::pow(10.0L, ClampBias(position) * 0.1L));
}

float ReductionFactorFor(int position) {
    // The exponent is held as a float before e is raised to it.
    const float exponent = static_cast<float>(ClampReduction(position) * 0.01L);
    return static_cast<float>(std::exp(static_cast<long double>(exponent)));
}

BiasCaption SetBiasPosition(int position, ProcessingOptions& options) {
    const int p = ClampBias(position);
    options.BiasFactor.store(BiasFactorFor(p));

    BiasCaption caption;
    caption.Text = (p > 0 ? "+" : "") + std::to_string(p) + " dB";
    const int v = 3 * (p - kBiasMinPosition);
    caption.Colour = {std::min(255, v + 120), 255 - v, 255 - v};
    return caption;
}

std::string SetReductionPosition(int position, ProcessingOptions& options) {
    const int q = ClampReduction(position);
    const int percent = std::max(1, ((q - kReductionMinPosition) / 10) * 100 / 50);
    options.ReductionFactor.store(ReductionFactorFor(q));
    return std::to_string(percent) + "%";
}

}  // namespace murmex
