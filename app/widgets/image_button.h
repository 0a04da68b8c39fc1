#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include "app/widgets/pressable_control.h"
#include "app/widgets/skin.h"

namespace murmex {

// A button drawn from a normal and a hover picture with an optional centred caption. Its caption
// colour is reported on every change; the owner decides what a colour means.
class TImageButton : public TPressableControl {
  Q_OBJECT

 public:
  explicit TImageButton(QWidget* parent = nullptr, skin::Glyph glyph = skin::Glyph::None);

  void SetCaption(const QString& caption);
  QString Caption() const { return caption_; }

  void SetCaptionColor(const QColor& color);
  QColor CaptionColor() const { return captionColor_; }

  // A press from the keyboard or an assistive tool: clicked(), when enabled.
  void Press();

 signals:
  void clicked();
  void captionColorChanged(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void KeyPress() override { Press(); }

 private:
  void RebuildPictures();

  skin::Glyph glyph_;
  QString caption_;
  QColor captionColor_ = skin::kCaptionWhite;
  QPixmap normalPicture_;
  QPixmap hoverPicture_;
  bool hovered_ = false;
  bool pressed_ = false;
};

}  // namespace murmex
