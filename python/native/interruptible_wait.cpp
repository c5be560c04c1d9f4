#include "interruptible_wait.h"

#include <algorithm>
#include <cmath>
#include <pybind11/pybind11.h>
#include <stdexcept>
#include <string>

namespace kx {

namespace py = pybind11;
using Clock = std::chrono::steady_clock;

bool waitInterruptibly(std::optional<std::chrono::milliseconds> timeout,
                       const std::function<bool(std::chrono::milliseconds)>& waitSlice,
                       std::atomic<bool>& waiting) {
    const auto deadline = timeout ? Clock::now() + *timeout : Clock::time_point::max();
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline == Clock::time_point::max() ? WAIT_SLICE : deadline - Clock::now());
        bool ready = false;
        {
            py::gil_scoped_release unlocked;
            waiting = true;
            ready = waitSlice(std::clamp(left, std::chrono::milliseconds(0), WAIT_SLICE));
            waiting = false;
        }
        if (ready)
            return true;
        // Runs the Python handlers of signals that came meanwhile (main thread only).
        if (PyErr_CheckSignals() != 0)
            throw py::error_already_set();
        if (Clock::now() >= deadline)
            return false;
    }
}

std::optional<std::chrono::milliseconds> timeoutFrom(std::optional<double> seconds,
                                                     const char* what) {
    if (!seconds)
        return std::nullopt;
    if (!(*seconds >= 0.0)) // negative, or NaN
        throw std::invalid_argument(std::string(what) + " must be a number of seconds, 0 or more");
    // Beyond a year is as good as no limit, and keeps the clock arithmetic in range.
    constexpr double YEAR = 365.0 * 24 * 3600;
    if (*seconds > YEAR)
        return std::nullopt;
    return std::chrono::milliseconds(static_cast<std::int64_t>(std::ceil(*seconds * 1000.0)));
}

} // namespace kx
