#include "view/dc_meter.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace murmex {

namespace {

constexpr int kSegmentPitch = 3;
constexpr int kSegmentWidth = 2;
constexpr int kTopSegment = 12;
constexpr float kAverageWeight = 0.02f;
constexpr float kAverageKeep = 0.98f;
constexpr float kDecayDivisor = 1.2f;

QImage BlackMeter() {
    QImage picture(DcMeter::kWidth, DcMeter::kHeight, QImage::Format_RGB32);
    picture.fill(Qt::black);
    return picture;
}

// Colour of the segment after segment `i`: green low, yellow middle, red at the top.
QColor ColourAfter(int i) {
    if (i <= 6) return QColor(0, 255, 0);
    if (i <= 9) return QColor(255, 255, 0);
    return QColor(255, 0, 0);
}

}  // namespace

DcMeter::DcMeter(ShowPicture show) : show_(std::move(show)) {}

int DcMeter::SegmentCount(float value) {
    // In single precision 1.25 x 28.4 lands exactly on 35.5, which rounds to the even 36:
    // the top segment lights from 28.4 on.
    const float scaled = 1.25f * value;
    if (!(scaled > 0.0f)) return 0;
    const int rounded = static_cast<int>(std::nearbyint(std::min(scaled, 1000.0f)));
    return std::min(rounded / kSegmentPitch, kTopSegment);
}

void DcMeter::UpdateDcMeter(SpectralEngine& engine) {
    const ProcessingOptions& options = engine.Options();
    if (options.DcOffsetCorrection.load() || !options.ApplyPreviewReduction.load()) {
        DecayDcMeter();
        return;
    }
    // For mono the second channel slot holds zeros.
    const auto& power = engine.BinPower();
    constexpr int kSecond = SpectralEngine::kChannelStride;
    const float dc = kAverageWeight * (power[0] + power[kSecond]) + kAverageKeep * engine.DcPowerAverage();
    const float bin1 =
        kAverageWeight * (power[1] + power[kSecond + 1]) + kAverageKeep * engine.Bin1PowerAverage();
    engine.SetMeterAverages(dc, bin1);
    DcMeterValue = static_cast<float>(std::log(std::max(dc - bin1, 0.0f) + 1.0));
    DrawDcMeter();
}

void DcMeter::DecayDcMeter() {
    const float value = DcMeterValue.load();
    if (value > kRestValue) {
        DcMeterValue = std::max(value / kDecayDivisor, kRestValue);
        DrawDcMeter();
    }
}

void DcMeter::DrawDcMeter() {
    QImage picture = BlackMeter();
    const int last = SegmentCount(DcMeterValue.load());
    // Segment 0 is painted with the black starting brush, so it never shows.
    QColor brush(Qt::black);
    for (int i = 0; i <= last; ++i) {
        for (int x = kSegmentPitch * i; x < kSegmentPitch * i + kSegmentWidth; ++x) {
            for (int y = 0; y < kHeight; ++y) picture.setPixelColor(x, y, brush);
        }
        brush = ColourAfter(i);
    }
    show_(picture);
}

void DcMeter::ResetDcMeter() {
    DcMeterValue = 0.0f;
    show_(BlackMeter());
}

}  // namespace murmex
