#pragma once

// Waiting the way Python users expect: the interpreter lock is released while a
// wait lasts, so that other Python threads run, and Ctrl-C ends the wait promptly.
// A signal's Python handler only runs on the main thread once it holds the lock,
// so a long wait is cut into short slices and the handlers run between them; what
// a handler raises (KeyboardInterrupt) leaves as pybind11::error_already_set.

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

namespace kx {

// The longest a Ctrl-C waits for its KeyboardInterrupt.
constexpr std::chrono::milliseconds WAIT_SLICE{50};

// Calls waitSlice with slices of at most WAIT_SLICE until it answers true (ready)
// or the timeout has passed (none: no limit); false on timeout. Called with the
// interpreter lock held; waitSlice runs without it. waiting is true while a slice
// runs (for tests that must signal a thread that really waits).
bool waitInterruptibly(std::optional<std::chrono::milliseconds> timeout,
                       const std::function<bool(std::chrono::milliseconds)>& waitSlice,
                       std::atomic<bool>& waiting);

// A timeout in seconds from Python: none waits without limit; negative or not a
// number is refused with std::invalid_argument naming what.
std::optional<std::chrono::milliseconds> timeoutFrom(std::optional<double> seconds,
                                                     const char* what);

} // namespace kx
