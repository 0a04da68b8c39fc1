#pragma once

#include <QColor>
#include <QWidget>

namespace murmex {

// A round lamp: its off colour when dark, its on colour when lit.
class TLed : public QWidget {
  Q_OBJECT

 public:
  TLed(const QColor& offColor, const QColor& onColor, QWidget* parent = nullptr);

  bool IsOn() const { return on_; }
  void SetOn(bool on);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor offColor_;
  QColor onColor_;
  bool on_ = false;
};

}  // namespace murmex
