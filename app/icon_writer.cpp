// Build helper: writes the program icon as a PNG for the desktop entry, from the same drawing
// the window uses.
#include <QImage>
#include <cstdio>
#include <cstdlib>

#include "app/artwork.h"

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: murmex_icon_writer SIZE OUTPUT.png\n");
    return 2;
  }
  const int size = std::atoi(argv[1]);
  if (size < 16 || size > 1024) {
    std::fprintf(stderr, "murmex_icon_writer: size must be 16..1024\n");
    return 2;
  }
  if (!murmex::DrawProgramIcon(size).save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "murmex_icon_writer: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
