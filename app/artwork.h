#pragma once

#include <QCursor>
#include <QImage>

namespace murmex {

// The program's own pictures, drawn at start-up so that no image file has to ship with it.

// The program icon: a noisy wave turning into a clean one on a dark rounded plate.
QImage DrawProgramIcon(int size);

// The pointing cursor of the two small output buttons (cursor number 99, "MYCURSOR").
QCursor MakeProgramCursor();

}  // namespace murmex
