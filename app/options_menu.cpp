#include "app/options_menu.h"

#include <QActionGroup>

namespace murmex {

OptionsMenu::OptionsMenu(QWidget* parent) : QMenu(parent) {
  auto* methods = new QActionGroup(this);
  methods->setExclusive(true);
  ClassicMethod = MethodEntry("Classic method", NoiseReductionMethod::Classic);
  AdaptiveMethod = MethodEntry("Adaptive method", NoiseReductionMethod::Adaptive);
  methods->addAction(ClassicMethod);
  methods->addAction(AdaptiveMethod);
  ClassicMethod->setChecked(true);
  addSeparator();
  LearnNoise = SaveChoice("Learn the noise from the whole file before saving", &OptionsMenu::OnLearnNoiseChanged);
  KeepTiming = SaveChoice("Keep timing: no delay, same length", &OptionsMenu::OnKeepTimingChanged);
}

QAction* OptionsMenu::MethodEntry(const QString& text, NoiseReductionMethod method) {
  QAction* action = addAction(text);
  action->setCheckable(true);
  // triggered, not toggled: only the user's pick is reported, never the group unticking the other.
  connect(action, &QAction::triggered, this, [this, method] {
    if (OnMethodChosen) OnMethodChosen(method);
  });
  return action;
}

QAction* OptionsMenu::SaveChoice(const QString& text, std::function<void(bool)> OptionsMenu::*handler) {
  QAction* action = addAction(text);
  action->setCheckable(true);
  connect(action, &QAction::toggled, this, [this, handler](bool on) {
    if (this->*handler) (this->*handler)(on);
  });
  return action;
}

void OptionsMenu::ShowMethod(NoiseReductionMethod method) {
  (method == NoiseReductionMethod::Adaptive ? AdaptiveMethod : ClassicMethod)->setChecked(true);
}

void OptionsMenu::SetChoicesEnabled(bool enabled) {
  for (QAction* action : {ClassicMethod, AdaptiveMethod, LearnNoise, KeepTiming}) action->setEnabled(enabled);
}

QString PreviewSwitchHint(NoiseReductionMethod method) {
  const QString name = method == NoiseReductionMethod::Adaptive ? "Adaptive" : "Classic";
  return QString("Enable noise reduction in preview\nMethod: %1 (right-click the window to change)").arg(name);
}

}  // namespace murmex
