#pragma once

namespace murmex {

// Ctrl-C acts like the window's Cancel: the first one only raises a flag that the save loop
// reads; a second one ends the program at once, saying that the file being written may be
// incomplete.
void InstallInterruptHandler();
bool Interrupted();

}  // namespace murmex
