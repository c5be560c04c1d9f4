#pragma once

#include <cstdint>

// The order in which the UDP listener tries ports when it is given none. A phone app
// is configured once with a port, so the listener starts with a few memorable ports
// that are usually free, then counts upwards through the dynamic range:
//   50000, 60000, 51111, 52222, ..., 59999, 61111, 62222, 63333, 64444,
//   then 49152, 49153, ... 65535.
// Pure: no sockets, no state besides the two arguments.

namespace mobilesensor {

// The candidate after portToTry. Starting from 0 gives 50000; 50001 to 59998 and
// 60001 to 64424 step by 1111, 59999 gives 61111. Any other value (1 to 49999, or
// 64425 and above) leaves the list: sequentialSearch is set and the answer is 49152; while it is
// set, every answer is portToTry + 1. After 65535 there is no candidate and the answer is 0.
std::uint16_t getNextPortToTry(std::uint16_t portToTry, bool& sequentialSearch);

} // namespace mobilesensor
