#pragma once

#include "source/preview_display.h"
#include "view/dc_meter.h"
#include "view/spectrum_view.h"

namespace murmex {

class TForm1;

// The window as the preview shows itself in it: the lamp, the progress bar, the spectrum view and
// the DC meter. Changes made on the preview thread are handed to the window's thread as queued
// calls and never wait for it; on the window's thread they act at once.
class WindowPreviewDisplay : public PreviewDisplay {
 public:
  WindowPreviewDisplay(TForm1& form, const SpectralEngine& engine);

  void SetLed1(bool on) override;
  void SetPreviewPosition(int position) override;
  void DrawSpectrum(const SpectralEngine& engine) override;
  void UpdateDcMeter(SpectralEngine& engine) override;
  void DecayDcMeter() override;
  bool DcMeterAtRest() const override;
  void StartSpectrumPhase() override;
  void EnterPreviewState() override;
  void LeavePreviewState() override;
  void BlankSpectrum() override;
  void ProcessMessages() override;

  // Handler of the "Preview spectrum view" switch.
  void Spectra1Change(bool on);
  // Start-up: a black meter at value 0.
  void ResetDcMeter();

 private:
  TForm1& form_;
  SpectrumView spectrum_;
  DcMeter meter_;
};

}  // namespace murmex
