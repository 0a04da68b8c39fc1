#pragma once

#include <QAbstractSlider>

namespace murmex {

// A horizontal slider with a drawn groove and knob. Range, position and the change event come
// from QAbstractSlider (valueChanged); the mouse moves the knob to where it is pressed or dragged,
// the wheel and arrow keys step it, Page Up and Page Down move it by a page.
class TTrackBar : public QAbstractSlider {
  Q_OBJECT

 public:
  explicit TTrackBar(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  static constexpr int kKnobWidth = 11;
  int ValueAt(int x) const;
  int KnobLeft() const;
};

}  // namespace murmex
