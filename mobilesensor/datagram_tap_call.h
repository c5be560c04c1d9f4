#pragma once

#include <cstddef>
#include <cstdint>

// Internal to kinelink: where a listener hands an accepted datagram to the tap of
// datagram_tap.h.

namespace mobilesensor::tap {

// Whether a tap is set: one relaxed load, so that a listener without a tap pays
// nothing more.
bool active();
// Calls the tap, if one is still set, with the datagram and the clock read now.
void offer(std::uint16_t port, const std::uint8_t* bytes, std::size_t size);

} // namespace mobilesensor::tap
