#pragma once

#include <QString>
#include <QWidget>

namespace murmex {

// A text with a dark drop shadow, sized to its text like an auto-sized label.
class TSkinLabel : public QWidget {
  Q_OBJECT

 public:
  explicit TSkinLabel(QWidget* parent = nullptr);

  QString Text() const { return text_; }
  void SetText(const QString& text);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
};

}  // namespace murmex
