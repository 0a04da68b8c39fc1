#pragma once

namespace murmex {

// Ctrl-C (SIGINT), SIGTERM and SIGHUP (the terminal closed) act like the window's Cancel.
//
// In a worker (the process that saves a file) the first one only raises a flag that the save
// loop reads; a second one ends the worker at once, saying that the file being written may be
// incomplete.
void InstallInterruptHandler();
bool Interrupted();

// In the batch's parent every signal is only counted: the parent passes each one on to its
// workers, so the first cancels every save and a second ends them at once.
void InstallCountingInterruptHandler();
int InterruptCount();

// The signal that interrupted last (0 before any).
int InterruptSignal();

}  // namespace murmex
