#pragma once

#include "kinelink_export.h"

#include <cstddef>
#include <cstdint>
#include <functional>

// A tap on the datagrams that the process's UDP listeners accept: the program that
// loaded a sensor device sees each datagram's exact bytes as they arrived, on the
// same socket and through the same single-sender rule as the device, without a
// socket of its own (a recorder of a real phone, for example). The devices and
// their behaviour do not change; without a tap a listener only tests one flag.

namespace mobilesensor {

struct TappedDatagram {
    std::uint16_t port = 0;              // the port of the listener that accepted it
    const std::uint8_t* bytes = nullptr; // the whole datagram, valid during the call
    std::size_t size = 0;
    // When the listener read it: seconds on the steady clock of the C++ library
    // (CLOCK_MONOTONIC on Linux), the same clock a program's std::chrono::steady_clock
    // reads.
    double arrival = 0.0;
};

using DatagramTap = std::function<void(const TappedDatagram&)>;

// Any thread. Puts tap in the place of the previous one (an empty function removes
// it). The tap is called on a listener's service thread for each accepted datagram,
// before the device's own callback, one call at a time across every listener. Once
// this returns, no call to the previous tap runs or starts. The tap must not throw
// (what it throws is dropped) and must not call setDatagramTap.
KINELINK_EXPORT void setDatagramTap(DatagramTap tap);

} // namespace mobilesensor
