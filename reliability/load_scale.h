#pragma once

#include <cstdint>

// How much of its full load a fault or load test sends. Plain builds send all of
// it; sanitizer builds, which run the same code five to twenty times slower, a
// fifth. KX_LOAD_SCALE in the environment (a positive number) overrides both, for
// longer runs by hand.

namespace reliability {

double loadScale();
// full x loadScale(), at least 1.
std::uint64_t scaled(std::uint64_t full);

} // namespace reliability
