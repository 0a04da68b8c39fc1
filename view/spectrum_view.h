#pragma once

#include <QImage>
#include <atomic>
#include <functional>

#include "engine/spectral_engine.h"

namespace murmex {

// Draws the engine's latest bin powers (blue line) and biased noise estimate (red dots) into a
// 353 x 89 picture, 8 pixels per decade of power. Drawing happens on the preview thread into
// the view's own bitmap; each finished picture, or the black picture that blanks the view, is
// handed whole to the window through `show`, which must be safe to call from any thread
// (the window posts it to its own thread).
class SpectrumView {
public:
    static constexpr int kWidth = 353;
    static constexpr int kHeight = 89;

    using ShowPicture = std::function<void(const QImage&)>;

    SpectrumView(const SpectralEngine& engine, ShowPicture show);

    // Preview thread, after each processed block: draws on every other call, while enabled.
    void DrawSpectrum();
    // Blanks the view if it holds a drawing.
    void ClearSpectrum();
    // Turns the drawing on or off ("Preview spectrum view").
    void SetShown(bool on);

    // Set true when Play is pressed, so the first block after it is skipped.
    std::atomic<bool> SpectrumPhase{false};
    std::atomic<bool> SpectrumShown{false};
    // State of the "Preview spectrum view" switch (initially on).
    std::atomic<bool> SpectrumEnabled{true};

private:
    void LineTo(int x, int y);
    void SetPixel(int x, int y, QRgb colour);

    const SpectralEngine& engine_;
    ShowPicture show_;
    QImage bitmap_;
    QRgb pen_;
    int penX_ = 0;
    int penY_ = 0;
};

}  // namespace murmex
