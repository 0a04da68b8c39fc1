#include "app/widgets/pressable_control.h"

#include <QKeyEvent>

#include "app/widgets/skin.h"

namespace murmex {

TPressableControl::TPressableControl(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::TabFocus); }

bool TPressableControl::event(QEvent* event) {
  // The press keys belong to the focused control, not to the window's shortcut on the same key.
  if (event->type() == QEvent::ShortcutOverride && skin::IsPressKey(*static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  return QWidget::event(event);
}

void TPressableControl::keyPressEvent(QKeyEvent* event) {
  if (!skin::IsPressKey(*event)) {
    QWidget::keyPressEvent(event);
    return;
  }
  if (!event->isAutoRepeat()) KeyPress();
}

}  // namespace murmex
