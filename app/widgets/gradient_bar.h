#pragma once

#include <QColor>
#include <QWidget>

namespace murmex {

// A thin bar shaded from one colour to another, along its length in the given direction.
class TGradientBar : public QWidget {
  Q_OBJECT

 public:
  TGradientBar(const QColor& from, const QColor& to, Qt::Orientation direction, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor from_;
  QColor to_;
  Qt::Orientation direction_;
};

}  // namespace murmex
