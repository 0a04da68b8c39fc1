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

void CountInterrupt(int) { interruptCount = interruptCount + 1; }

void Install(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

void InstallInterruptHandler() {
    interruptCount = 0;
    Install(OnInterrupt);
}

void InstallCountingInterruptHandler() { Install(CountInterrupt); }

bool Interrupted() { return interruptCount != 0; }

int InterruptCount() { return interruptCount; }

}  // namespace murmex
