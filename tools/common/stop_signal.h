#pragma once

// Ctrl-C handling for the programs: the first Ctrl-C (SIGINT) or SIGTERM asks the
// program to stop, so that it can close what it opened and print its summary; a
// second one ends it at once with the default action.

#include <chrono>

namespace kxtools {

// Installs the handlers. Call once, early in main.
void installStopHandler();

// Whether a stop was asked for (by a signal or by requestStop).
bool stopRequested();

// Asks for a stop as a signal would; for tests and for programs that end early.
void requestStop();

// Sleeps until deadline or until a stop is asked for, whichever comes first.
// True when the deadline was reached without a stop request.
bool sleepUntil(std::chrono::steady_clock::time_point deadline);

} // namespace kxtools
