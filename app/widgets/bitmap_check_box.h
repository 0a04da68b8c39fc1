#pragma once

#include <QString>
#include <QWidget>

#include "app/widgets/pressable_control.h"

namespace murmex {

// A switch drawn as a small lit box followed by its caption. Clicking anywhere on it toggles it,
// as do the keyboard's press keys.
class TBitmapCheckBox : public TPressableControl {
  Q_OBJECT

 public:
  explicit TBitmapCheckBox(const QString& caption, QWidget* parent = nullptr);

  bool Checked() const { return checked_; }
  // Reports a change through changed() only when the state actually moves.
  void SetChecked(bool checked);
  QString Caption() const { return caption_; }

 signals:
  void changed(bool checked);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void KeyPress() override { SetChecked(!checked_); }

 private:
  QString caption_;
  bool checked_ = false;
};

}  // namespace murmex
