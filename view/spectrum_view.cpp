#include "view/spectrum_view.h"

#include <cmath>
#include <cstdlib>
#include <utility>

namespace murmex {

namespace {

const QRgb kLineColour = qRgb(0, 130, 205);
const QRgb kNoiseColour = qRgb(255, 0, 0);
constexpr int kFirstBin = 1;
constexpr int kLastBin = 1022;
constexpr int kBinsPerColumn = 3;
constexpr double kPixelsPerDecade = 8.0;
constexpr int kRowOffset = 11;

QImage BlackPicture() {
    QImage picture(SpectrumView::kWidth, SpectrumView::kHeight, QImage::Format_RGB16);
    picture.fill(Qt::black);
    return picture;
}

}  // namespace

SpectrumView::SpectrumView(const SpectralEngine& engine, ShowPicture show)
    : engine_(engine), show_(std::move(show)), bitmap_(BlackPicture()) {
    // The bitmap stores 16-bit colour, so the line has the colour it can hold.
    QImage probe(1, 1, QImage::Format_RGB16);
    probe.setPixel(0, 0, kLineColour);
    pen_ = probe.pixel(0, 0);
}

void SpectrumView::DrawSpectrum() {
    if (!SpectrumPhase.load()) {
        SpectrumPhase = true;
        return;
    }
    if (!SpectrumEnabled.load()) {
        ClearSpectrum();
        return;
    }
    bitmap_.fill(Qt::black);
    const auto& power = engine_.BinPower();
    const auto& noise = engine_.BiasedNoise();
    const bool stereo = engine_.Channels() == 2;
    constexpr int kSecond = SpectralEngine::kChannelStride;
    for (int i = kFirstBin; i <= kLastBin; ++i) {
        const int x = i / kBinsPerColumn;
        const float p = stereo ? (power[i] + power[kSecond + i]) * 0.5f + 1.0f : power[i] + 1.0f;
        const float n = stereo ? (noise[i] + noise[kSecond + i]) * 0.5f + 1.0f : noise[i] + 1.0f;

        int y = static_cast<int>(std::trunc(kPixelsPerDecade * std::log10(p))) - kRowOffset;
        if (y >= kHeight) y = kHeight - 1;
        const int row = kHeight - y;
        if (x == 0) {
            penX_ = 0;
            penY_ = row;
        }
        LineTo(x, row);

        // Even bins carry no noise estimate (n = 1), so only odd bins get a dot.
        const double m = n != 1.0f ? kPixelsPerDecade * std::log10(n) - kRowOffset : -kRowOffset;
        if (m > 0) SetPixel(x, kHeight - static_cast<int>(std::trunc(m)), kNoiseColour);
    }
    show_(bitmap_.copy());
    SpectrumShown = true;
    SpectrumPhase = false;
}

void SpectrumView::ClearSpectrum() {
    if (SpectrumShown.exchange(false)) show_(BlackPicture());
}

void SpectrumView::SetShown(bool on) {
    SpectrumEnabled = on;
    if (!on) ClearSpectrum();
}

// Draws from the pen position to (x, y), leaving out the end point like a line-to does,
// so that consecutive segments do not paint their joints twice; rows outside are clipped.
void SpectrumView::LineTo(int x, int y) {
    const int dx = std::abs(x - penX_);
    const int dy = -std::abs(y - penY_);
    const int sx = penX_ < x ? 1 : -1;
    const int sy = penY_ < y ? 1 : -1;
    int error = dx + dy;
    int cx = penX_;
    int cy = penY_;
    while (cx != x || cy != y) {
        SetPixel(cx, cy, pen_);
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            cx += sx;
        }
        if (twice <= dx) {
            error += dx;
            cy += sy;
        }
    }
    penX_ = x;
    penY_ = y;
}

void SpectrumView::SetPixel(int x, int y, QRgb colour) {
    if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) bitmap_.setPixel(x, y, colour);
}

}  // namespace murmex
