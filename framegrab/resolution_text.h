#pragma once

#include <string>

namespace framegrab {

// "<width>x<height>", each truncated to an integer ("%ix%i"): 1280x720, or 0x0 when
// the resolution is unknown. NaN counts as 0; values beyond int are clamped.
std::string formatResolution(double width, double height);

} // namespace framegrab
