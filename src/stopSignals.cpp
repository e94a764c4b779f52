// stopSignals.cpp — the stop signals noted by their handler and acted on by the game's own thread.
#include "stopSignals.h"

#include <unistd.h>

#include <csignal>
#include <cstdlib>

namespace {

volatile std::sig_atomic_t pending = 0;

// Only async-signal-safe work here: the note, or _exit when the game has not come round to
// the first one (stuck, or a player pressing Ctrl+C twice).
void noteStopSignal(int signal) {
    if (pending != 0) _exit(stopStatus(pending));
    pending = signal;
}

void catchSignal(int signal) {
    struct sigaction action {};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and sleeps resume; the note is read at the next tick.
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

}  // namespace

void catchStopSignals() {
    catchSignal(SIGINT);
    catchSignal(SIGTERM);
}

int pendingStopSignal() { return pending; }

void endIfStopSignalled() {
    const int signal = pending;
    if (signal != 0) std::exit(stopStatus(signal));
}
