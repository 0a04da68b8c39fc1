#pragma once

#include <QWidget>

namespace murmex {

// A control the keyboard can work: Tab reaches it (a click does not take the focus, so the
// window's own keys keep working for the mouse user), and Space or Return work it while it has
// the focus. QWidget repaints it as the focus comes and goes, for the skin's focus ring.
class TPressableControl : public QWidget {
  Q_OBJECT

 public:
  explicit TPressableControl(QWidget* parent = nullptr);

 protected:
  // What Space or Return do: press the button, toggle the switch.
  virtual void KeyPress() = 0;

  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace murmex
