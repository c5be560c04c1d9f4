#pragma once

#include <cstdint>

// How much of its full load a fault or load test sends: all of it, in every build
// (the sockets, not the instrumented code, set the pace, so even the sanitizer
// builds run a flood of a million datagrams in seconds). KX_LOAD_SCALE in the
// environment (a positive number) scales it, for longer runs by hand.

namespace reliability {

double loadScale();
// full x loadScale(), at least 1.
std::uint64_t scaled(std::uint64_t full);

} // namespace reliability
