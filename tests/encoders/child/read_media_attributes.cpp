// Reads one file's media attributes in a process of its own, so a test can watch what the read
// costs (peak memory) and whether anything reaches stderr. Prints the outcome on stdout; exit
// status 0 when the file was read, 1 when it was refused, 2 for a usage error.

#include <cstdio>
#include <exception>

#include "encoders/media_attribute_reader.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::puts("usage: read_media_attributes FILE");
    return 2;
  }
  try {
    murmex::TMediaAttributeReader reader;
    reader.Open(argv[1]);
    std::printf("bitrate %d\n", reader.Bitrate());
    return 0;
  } catch (const std::exception& error) {
    std::printf("refused: %s\n", error.what());
    return 1;
  }
}
