#include "cli/interrupt.h"

#include <unistd.h>

#include <csignal>

namespace murmex {

namespace {

volatile std::sig_atomic_t interruptCount = 0;

void OnInterrupt(int) {
    if (interruptCount > 0) {
        static const char message[] =
            "\nmurmex-cli: interrupted again; the file being written may be incomplete\n";
        // Only async-signal-safe calls here.
        [[maybe_unused]] const auto written = ::write(STDERR_FILENO, message, sizeof message - 1);
        ::_exit(130);
    }
    interruptCount = 1;
}

}  // namespace

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return interruptCount != 0; }

}  // namespace murmex
