#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

namespace murmex {

// Shows a picture handed over whole (the spectrum, the DC meter, the program icon); black until
// the first one arrives.
class TImageView : public QWidget {
  Q_OBJECT

 public:
  explicit TImageView(QWidget* parent = nullptr);

  void SetImage(const QImage& image);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
};

}  // namespace murmex
