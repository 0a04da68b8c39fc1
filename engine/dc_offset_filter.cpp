#include "engine/dc_offset_filter.h"

#include <cmath>
#include <numbers>

#include "engine/sample_conversion.h"

namespace murmex {

namespace {
// Fixed tuning of the filter's corner; it deliberately does not follow the sample rate.
constexpr long double kDcCutoffSetting = 10.0L;
}  // namespace

void DcOffsetFilter::ComputeDcCoefficient() {
    const float angle = static_cast<float>(std::numbers::pi_v<long double> * kDcCutoffSetting * 0.00005L);
    dcCoefficient_ = static_cast<float>(std::sin(static_cast<long double>(angle)));
}

void DcOffsetFilter::Reset() {
    dcLow_.fill(0.0f);
    dcBand_.fill(0.0f);
    dcHigh_.fill(0.0f);
}

void DcOffsetFilter::RemoveDcOffset(int16_t* block, int byteCount, int channels) {
    if (block == nullptr || byteCount <= 0 || channels < 1 || channels > kChannelSlots) return;
    const int frames = (byteCount / 2) / channels;
    const double k = dcCoefficient_;
    for (int c = 0; c < channels; ++c) {
        for (int j = 0; j < frames; ++j) {
            const int n = j * channels + c;
            const double x = block[n];
            dcLow_[c] = static_cast<float>(k * dcBand_[c] + dcLow_[c]);
            dcHigh_[c] = static_cast<float>(x - dcLow_[c] - dcBand_[c]);
            dcBand_[c] = static_cast<float>(k * dcHigh_[c] + dcBand_[c]);
            block[n] = RoundToSample(dcHigh_[c]);
        }
    }
}

}  // namespace murmex
