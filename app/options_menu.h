#pragma once

#include <QMenu>
#include <functional>

#include "engine/processing_options.h"

class QAction;

namespace murmex {

// The window's right-click menu: the noise reduction method (the preview follows it at once;
// kDefaultMethod ticked at start) and two choices that shape how a save runs, each group under a
// title. It only reports what the user picked; the window
// decides what each choice changes.
class OptionsMenu : public QMenu {
 public:
  explicit OptionsMenu(QWidget* parent);

  // Ticks the method's entry without reporting it back, so the menu can follow a choice made
  // elsewhere.
  void ShowMethod(NoiseReductionMethod method);
  // Locks every entry while a save runs: a method switched mid-file would change the file's sound
  // halfway through.
  void SetChoicesEnabled(bool enabled);

  std::function<void(NoiseReductionMethod)> OnMethodChosen;
  std::function<void(bool)> OnLearnNoiseChanged;
  std::function<void(bool)> OnKeepTimingChanged;

  QAction* ClassicMethod = nullptr;
  QAction* AdaptiveMethod = nullptr;
  QAction* LearnNoise = nullptr;
  QAction* KeepTiming = nullptr;

 private:
  void Header(const QString& text);
  QAction* MethodEntry(const QString& text, NoiseReductionMethod method);
  QAction* SaveChoice(const QString& text, std::function<void(bool)> OptionsMenu::*handler);
};

// "Method: Adaptive", as the window shows it beside the preview switch.
QString MethodCaption(NoiseReductionMethod method);
// The hint of the preview switch: its own words, then the method the preview uses.
QString PreviewSwitchHint(NoiseReductionMethod method);

}  // namespace murmex
