#include "app/window_preview_display.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "app/form1.h"
#include "pipeline/main_thread_queue.h"

namespace murmex {

namespace {

// Runs `change` on the window's thread; from another thread it is queued, not waited for, and
// dropped if the window is gone by then.
template <typename Change>
void OnWindowThread(TForm1& form, Change change) {
  if (MainThreadQueue::Instance().IsMainThread())
    change();
  else
    QMetaObject::invokeMethod(&form, change, Qt::QueuedConnection);
}

}  // namespace

WindowPreviewDisplay::WindowPreviewDisplay(TForm1& form, const SpectralEngine& engine)
    : form_(form),
      spectrum_(engine,
                [&form](const QImage& picture) {
                  OnWindowThread(form, [&form, picture] { form.SetSpectrumImage(picture); });
                }),
      meter_([&form](const QImage& picture) {
        OnWindowThread(form, [&form, picture] { form.SetDcMeterImage(picture); });
      }) {}

void WindowPreviewDisplay::SetLed1(bool on) {
  OnWindowThread(form_, [this, on] { form_.SetLed1(on); });
}

void WindowPreviewDisplay::SetPreviewPosition(int position) {
  OnWindowThread(form_, [this, position] { form_.SetPreviewPosition(position); });
}

void WindowPreviewDisplay::DrawSpectrum(const SpectralEngine&) { spectrum_.DrawSpectrum(); }

void WindowPreviewDisplay::UpdateDcMeter(SpectralEngine& engine) { meter_.UpdateDcMeter(engine); }

void WindowPreviewDisplay::DecayDcMeter() { meter_.DecayDcMeter(); }

bool WindowPreviewDisplay::DcMeterAtRest() const { return meter_.DcMeterAtRest(); }

void WindowPreviewDisplay::StartSpectrumPhase() { spectrum_.SpectrumPhase = true; }

void WindowPreviewDisplay::EnterPreviewState() { form_.EnterPreviewState(); }

void WindowPreviewDisplay::LeavePreviewState() { form_.LeavePreviewState(); }

void WindowPreviewDisplay::BlankSpectrum() {
  if (!spectrum_.SpectrumEnabled) return;
  spectrum_.SpectrumShown = true;
  spectrum_.ClearSpectrum();
}

void WindowPreviewDisplay::ProcessMessages() {
  MainThreadQueue::Instance().Drain();
  QCoreApplication::processEvents();
}

void WindowPreviewDisplay::Spectra1Change(bool on) { spectrum_.SetShown(on); }

void WindowPreviewDisplay::ResetDcMeter() { meter_.ResetDcMeter(); }

}  // namespace murmex
