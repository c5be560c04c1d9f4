#include "datagram_tap.h"

#include "datagram_tap_call.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <utility>

namespace mobilesensor {

namespace {

// The mutex is held while the tap runs, so that replacing the tap waits for a call
// in progress: the owner may destroy what the old tap writes to once it is replaced.
std::mutex tapMutex;
DatagramTap currentTap; // guarded by tapMutex
std::atomic<bool> tapSet{false};

} // namespace

void setDatagramTap(DatagramTap tap) {
    DatagramTap previous; // destroyed outside the lock
    {
        const std::lock_guard<std::mutex> lock(tapMutex);
        previous = std::exchange(currentTap, std::move(tap));
        tapSet.store(static_cast<bool>(currentTap), std::memory_order_relaxed);
    }
}

namespace tap {

bool active() { return tapSet.load(std::memory_order_relaxed); }

void offer(std::uint16_t port, const std::uint8_t* bytes, std::size_t size) {
    TappedDatagram datagram;
    datagram.port = port;
    datagram.bytes = bytes;
    datagram.size = size;
    datagram.arrival =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    const std::lock_guard<std::mutex> lock(tapMutex);
    if (!currentTap)
        return;
    try {
        currentTap(datagram);
    } catch (...) {
        // A tap that fails loses its own copy; the device still gets the datagram.
    }
}

} // namespace tap

} // namespace mobilesensor
