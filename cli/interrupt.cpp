#include "cli/interrupt.h"

#include <unistd.h>

#include <csignal>
#include <initializer_list>

namespace murmex {

namespace {

volatile std::sig_atomic_t interruptCount = 0;
volatile std::sig_atomic_t interruptSignal = 0;

void OnInterrupt(int signal) {
    if (interruptCount > 0) {
        static const char message[] =
            "\nmurmex-cli: interrupted again; the file being written may be incomplete\n";
        // Only async-signal-safe calls here.
        [[maybe_unused]] const auto written = ::write(STDERR_FILENO, message, sizeof message - 1);
        ::_exit(128 + signal);
    }
    interruptSignal = signal;
    interruptCount = 1;
}

void CountInterrupt(int signal) {
    // With the terminal gone, a write to a pipe that was read there must fail rather than end
    // the parent before it has marked what its workers left unfinished.
    if (signal == SIGHUP) std::signal(SIGPIPE, SIG_IGN);
    interruptSignal = signal;
    interruptCount = interruptCount + 1;
}

void Install(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace

void InstallInterruptHandler() {
    interruptCount = 0;
    interruptSignal = 0;
    Install(OnInterrupt);
}

void InstallCountingInterruptHandler() { Install(CountInterrupt); }

bool Interrupted() { return interruptCount != 0; }

int InterruptCount() { return interruptCount; }

int InterruptSignal() { return interruptSignal; }

}  // namespace murmex
