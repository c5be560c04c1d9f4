#pragma once

#include <cstdint>

namespace kinedgram {

// Source numbers of location fixes: the app sends two kinds.
constexpr std::int32_t FIX_SOURCE_G = 0;
constexpr std::int32_t FIX_SOURCE_N = 1;
constexpr std::int32_t FIX_SOURCE_NONE = 2;

// The last accepted location fix; it lives as long as the device.
struct FixState {
    std::int32_t lastFixSource = FIX_SOURCE_NONE;
    double lastFixAccuracy = 0.0; // accuracy of the last accepted fix
    double lastFixTime = 0.0;     // its time in milliseconds
};

// Decides whether a fix is taken, and records it in state when it is. The first
// fix is always taken. A fix more than 2 s older than the last one is never taken.
// A fix at least as accurate (a smaller or equal accuracy value) is taken; a less
// accurate one only when it comes 10 / speed seconds or more after the last one
// (a speed of 0 counts as 1/3 m/s), twice that when the source changes. A NaN in
// time, accuracy or speed never blocks a fix through the time test.
bool acceptFix(FixState& state, std::int32_t source, double time, double accuracy, double speed);

} // namespace kinedgram
