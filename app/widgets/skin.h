#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QSize>

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

}  // namespace skin
}  // namespace murmex
