#pragma once

#include <QString>
#include <QWidget>

namespace murmex {

// A flat bar filled with a smooth gradient up to its position. When asked, it prints the
// position as a percentage of its maximum ("%.0f%%"), or a short note in its place for a while.
// A mouse release reports its x coordinate. A seekable bar also takes the focus from Tab, and
// the arrow keys, Page Up/Down, Home and End ask for the x coordinate to seek to.
class TSmoothProgressBar : public QWidget {
  Q_OBJECT

 public:
  explicit TSmoothProgressBar(QWidget* parent = nullptr);

  double Maximum() const { return maximum_; }
  void SetMaximum(double maximum);
  double Position() const { return position_; }
  void SetPosition(double position);
  void SetShowValue(bool show);
  // The text drawn on the bar when its value is shown, empty otherwise.
  QString ValueText() const;
  // Shows `note` instead of the value until ClearNote.
  void ShowNote(const QString& note);
  void ClearNote();
  void SetSeekable(bool seekable);

 signals:
  void mouseUp(int x);
  void keySeek(int x);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  double maximum_ = 100.0;
  double position_ = 0.0;
  bool showValue_ = false;
  QString note_;
};

}  // namespace murmex
