#include "stop_signal.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <thread>

namespace kxtools {

namespace {

// Lock-free, so the handler may set it (on Windows the handler runs on another
// thread; on POSIX it interrupts whichever thread it lands on).
std::atomic<bool> stopFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onStopSignal(int signalNumber) {
    stopFlag.store(true);
    // A second Ctrl-C should end a program that does not stop quickly enough.
    std::signal(signalNumber, SIG_DFL);
}

// How long a sleep may go without looking at the flag: short enough that Ctrl-C
// feels immediate, long enough to cost nothing (a program's loop that ticks every
// 50 ms then wakes once per tick, not three times).
constexpr std::chrono::milliseconds POLL_SLICE{50};

} // namespace

void installStopHandler() {
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
}

bool stopRequested() { return stopFlag.load(); }

void requestStop() { stopFlag.store(true); }

bool sleepUntil(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        if (stopRequested())
            return false;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return true;
        std::this_thread::sleep_until(std::min(deadline, now + POLL_SLICE));
    }
}

} // namespace kxtools
