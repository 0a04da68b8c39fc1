#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QSize>

class QKeyEvent;
class QPainter;
class QRectF;
class QString;

namespace murmex {

// Colours and faces shared by every skinned control, so that the window looks of one piece.
namespace skin {

inline const QColor kCaptionWhite{255, 255, 255};
inline const QColor kCaptionSilver{192, 192, 192};
inline const QColor kMaroon{128, 0, 0};
inline const QColor kRed{255, 0, 0};

// Maps the faces the window names to metric-compatible ones when the machine lacks them
// (Liberation Sans for Arial, DejaVu Sans Condensed for MS Sans Serif). Call once after QApplication exists.
void InstallFontSubstitutes();

// A face of the given pixel height: "Arial" for captions, "MS Sans Serif" for the form.
QFont ArialFont(int pixelHeight);
QFont FormFont(int pixelHeight);

enum class ButtonLook { Normal, Hover };

// The stretched face of a command button: a rounded, vertically shaded plate.
QPixmap CommandButtonPicture(QSize size, ButtonLook look);

// Glyph buttons of the window chrome and the small output buttons.
enum class Glyph { None, Minimize, Close, Cycle };
QPixmap GlyphButtonPicture(QSize size, Glyph glyph, ButtonLook look);

// The ring a control shows while it has the keyboard focus, drawn inside `area`.
void DrawFocusRing(QPainter& painter, const QRectF& area);

// `font` narrowed, and below the narrowest cut made smaller, until `text` fits in `width` pixels:
// the faces substituted for the window's own are wider than those its places were laid out for.
QFont FitToWidth(const QFont& font, const QString& text, int width);

// Space, Return and Enter without modifiers: the keys that press a focused button or toggle a
// focused switch.
bool IsPressKey(const QKeyEvent& event);

}  // namespace skin
}  // namespace murmex
