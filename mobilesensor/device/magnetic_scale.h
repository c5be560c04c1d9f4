#pragma once

namespace mobilesensor {

// Both phone apps send the magnetic field as a million times the number that the
// buffers hold.
constexpr double MAGNETIC_SCALE = 1000000.0;

} // namespace mobilesensor
