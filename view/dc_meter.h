#pragma once

#include <QImage>
#include <atomic>
#include <functional>

#include "engine/spectral_engine.h"

namespace murmex {

// The DC-offset meter: a 46 x 9 bar of up to twelve coloured segments that rises when bin 0
// carries more power than bin 1 on average. Each redraw is a fresh picture handed whole to the
// window through `show`, which must be safe to call from any thread.
class DcMeter {
public:
    static constexpr int kWidth = 46;
    static constexpr int kHeight = 9;
    static constexpr float kRestValue = 1.0f;

    using ShowPicture = std::function<void(const QImage&)>;

    explicit DcMeter(ShowPicture show);

    // Once per preview pass: measures (updating the engine's two averages) while noise
    // reduction runs without DC correction, otherwise lets the meter decay.
    void UpdateDcMeter(SpectralEngine& engine);
    // Lowers the value towards its rest at 1.
    void DecayDcMeter();
    void DrawDcMeter();
    // Start-up: value 0 and a black meter.
    void ResetDcMeter();

    // The stop of a preview decays the meter until it is at rest.
    bool DcMeterAtRest() const { return DcMeterValue.load() <= kRestValue; }

    // Number of the last segment drawn (0 shows nothing) for a meter value.
    static int SegmentCount(float value);

    std::atomic<float> DcMeterValue{0.0f};

private:
    ShowPicture show_;
};

}  // namespace murmex
