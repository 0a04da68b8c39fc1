#include "app/options_menu.h"

#include <QActionGroup>

namespace murmex {

OptionsMenu::OptionsMenu(QWidget* parent) : QMenu(parent) {
  Header("Noise reduction method");
  auto* methods = new QActionGroup(this);
  methods->setExclusive(true);
  ClassicMethod = MethodEntry("Classic method", NoiseReductionMethod::Classic);
  AdaptiveMethod = MethodEntry("Adaptive method", NoiseReductionMethod::Adaptive);
  methods->addAction(ClassicMethod);
  methods->addAction(AdaptiveMethod);
  ShowMethod(kDefaultMethod);
  addSeparator();
  Header("When saving");
  LearnNoise = SaveChoice("Learn the noise from the whole file before saving", &OptionsMenu::OnLearnNoiseChanged);
  KeepTiming = SaveChoice("Keep timing: no delay, same length", &OptionsMenu::OnKeepTimingChanged);
}

// A title above its entries: never picked, set apart in bold.
void OptionsMenu::Header(const QString& text) {
  QAction* header = addAction(text);
  header->setEnabled(false);
  QFont font = header->font();
  font.setBold(true);
  header->setFont(font);
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

QString MethodCaption(NoiseReductionMethod method) {
  return QString("Method: %1").arg(method == NoiseReductionMethod::Adaptive ? "Adaptive" : "Classic");
}

QString PreviewSwitchHint(NoiseReductionMethod method) {
  return "Enable noise reduction in preview\n" + MethodCaption(method) + " (right-click the window to change)";
}

}  // namespace murmex
