#include "app/widgets/skin.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace murmex::skin {

void InstallFontSubstitutes() {
  const QStringList families = QFontDatabase::families();
  if (!families.contains("Arial")) QFont::insertSubstitutions("Arial", {"Liberation Sans", "Arimo", "Sans Serif"});
  // The condensed cut keeps the form's captions within the widths laid out for MS Sans Serif.
  if (!families.contains("MS Sans Serif"))
    QFont::insertSubstitutions("MS Sans Serif", {"DejaVu Sans Condensed", "DejaVu Sans", "Sans Serif"});
}

static QFont PixelFont(const char* family, int pixelHeight) {
  QFont font(family);
  font.setPixelSize(pixelHeight);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QFont ArialFont(int pixelHeight) { return PixelFont("Arial", pixelHeight); }

QFont FormFont(int pixelHeight) { return PixelFont("MS Sans Serif", pixelHeight); }

QPixmap CommandButtonPicture(QSize size, ButtonLook look) {
  QPixmap picture(size);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF plate = QRectF(picture.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QLinearGradient shade(plate.topLeft(), plate.bottomLeft());
  if (look == ButtonLook::Hover) {
    shade.setColorAt(0.0, QColor(92, 128, 186));
    shade.setColorAt(0.5, QColor(40, 72, 132));
    shade.setColorAt(1.0, QColor(22, 44, 92));
  } else {
    shade.setColorAt(0.0, QColor(74, 78, 92));
    shade.setColorAt(0.5, QColor(38, 40, 50));
    shade.setColorAt(1.0, QColor(20, 21, 28));
  }
  p.setBrush(shade);
  p.setPen(QPen(look == ButtonLook::Hover ? QColor(120, 160, 220) : QColor(90, 94, 110), 1));
  p.drawRoundedRect(plate, 4, 4);
  // A thin highlight along the top gives the plate its glassy edge.
  p.setPen(QPen(QColor(255, 255, 255, 50), 1));
  p.drawLine(QPointF(plate.left() + 4, plate.top() + 1.5), QPointF(plate.right() - 4, plate.top() + 1.5));
  return picture;
}

QPixmap GlyphButtonPicture(QSize size, Glyph glyph, ButtonLook look) {
  QPixmap picture = CommandButtonPicture(size, look);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor ink = look == ButtonLook::Hover ? QColor(255, 255, 255) : QColor(200, 200, 200);
  p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap));
  const QRectF r = QRectF(picture.rect());
  const QPointF c = r.center();
  const qreal s = std::min(r.width(), r.height()) * 0.22;
  switch (glyph) {
    case Glyph::Minimize:
      p.drawLine(QPointF(c.x() - s, c.y() + s * 0.8), QPointF(c.x() + s, c.y() + s * 0.8));
      break;
    case Glyph::Close:
      p.drawLine(QPointF(c.x() - s, c.y() - s), QPointF(c.x() + s, c.y() + s));
      p.drawLine(QPointF(c.x() - s, c.y() + s), QPointF(c.x() + s, c.y() - s));
      break;
    case Glyph::Cycle: {
      QPainterPath arrow;
      arrow.moveTo(c.x() - s, c.y() - s * 1.1);
      arrow.lineTo(c.x() + s * 1.1, c.y());
      arrow.lineTo(c.x() - s, c.y() + s * 1.1);
      arrow.closeSubpath();
      p.setBrush(ink);
      p.drawPath(arrow);
      break;
    }
    case Glyph::None:
      break;
  }
  return picture;
}

void DrawFocusRing(QPainter& painter, const QRectF& area) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(Qt::NoBrush);
  // Amber stands apart from every blue, grey and white of the skin, lit or not.
  painter.setPen(QPen(QColor(255, 190, 40), 1.5));
  painter.drawRoundedRect(area.adjusted(0.75, 0.75, -0.75, -0.75), 3, 3);
  painter.restore();
}

QFont FitToWidth(const QFont& font, const QString& text, int width) {
  constexpr int kNarrowestStretch = 75;
  constexpr int kStretchStep = 5;
  constexpr int kSmallestPixels = 8;
  QFont fitted = font;
  const auto fits = [&] { return QFontMetrics(fitted).horizontalAdvance(text) <= width; };
  for (int stretch = 100; !fits() && stretch > kNarrowestStretch;) {
    stretch -= kStretchStep;
    fitted.setStretch(stretch);
  }
  // Some font engines ignore the stretch; a smaller size always narrows.
  while (!fits() && fitted.pixelSize() > kSmallestPixels) fitted.setPixelSize(fitted.pixelSize() - 1);
  return fitted;
}

bool IsPressKey(const QKeyEvent& event) {
  const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
  if (modifiers != Qt::NoModifier) return false;
  return event.key() == Qt::Key_Space || event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter ||
         event.key() == Qt::Key_Select;
}

}  // namespace murmex::skin
