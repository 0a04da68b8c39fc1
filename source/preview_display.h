#pragma once

namespace murmex {

class SpectralEngine;

// What a running preview shows: the lamp, the progress bar, the spectrum view, the DC meter and
// the state of the command buttons. The window implements it.
//
// Threads: the calls marked "preview thread" come once per pass of the preview loop; they must
// hand their changes to the window's thread without waiting for it. The others come on the
// window's thread, the stop's calls only after the preview thread has left its loop, so the
// meter and the view never see both threads at once.
class PreviewDisplay {
 public:
  virtual ~PreviewDisplay() = default;

  // Preview thread.
  virtual void SetLed1(bool on) = 0;
  // Preview thread; also the window's thread after a seek.
  virtual void SetPreviewPosition(int position) = 0;
  // Draws every other call, while the view is switched on; the engine's arrays are current.
  virtual void DrawSpectrum(const SpectralEngine& engine) = 0;
  // Measures bins 0 and 1 into the engine's meter averages and redraws the meter.
  virtual void UpdateDcMeter(SpectralEngine& engine) = 0;

  // Preview thread during a pass; window's thread during a stop.
  virtual void DecayDcMeter() = 0;

  // Window's thread.
  virtual bool DcMeterAtRest() const = 0;
  // Play: the first block after it draws nothing, the second draws, and so on.
  virtual void StartSpectrumPhase() = 0;
  // Play: Stop enabled, the other commands disabled, the progress bar enabled, repainted.
  virtual void EnterPreviewState() = 0;
  // Stop: commands back, lamp off, progress bar at 0 and disabled.
  virtual void LeavePreviewState() = 0;
  // Stop: blanks the view when "Preview spectrum view" is on.
  virtual void BlankSpectrum() = 0;
  // Runs what is waiting for the window's thread (display changes handed over, repaints).
  virtual void ProcessMessages() = 0;
};

}  // namespace murmex
