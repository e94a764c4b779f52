// stopSignals.h — SIGINT and SIGTERM end the game between two ticks, through the same orderly
// exit as the quit key.
#pragma once

// Once this has run, SIGINT (Ctrl+C) and SIGTERM only note that they came; the game acts on
// them at its next tick (endIfStopSignalled), never in the middle of a step or a file being
// written. A second one before that ends the process at once. They are caught even when the
// game was started with them ignored, as a script's background job is: a stop is a stop.
void catchStopSignals();

// The stop signal that has come and not been acted on, or 0.
int pendingStopSignal();

// Ends the program through exit() when a stop signal has come: atexit handlers close the
// audio device, and the status is 128 plus the signal's number, as a shell reports a
// program stopped by it (130 for SIGINT, 143 for SIGTERM).
void endIfStopSignalled();

// The exit status that ends the game after `signal`.
constexpr int stopStatus(int signal) { return 128 + signal; }
