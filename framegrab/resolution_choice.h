#pragma once

#include "capture_controller.h"

namespace framegrab {

// A frame size of at least one pixel each way (NaN and infinities are not).
bool isKnownResolution(const Resolution& resolution);

// The frame size a controller announces: the size of the first frame the camera
// delivered when it delivered one, since the frames are what the device copies;
// otherwise the size the camera's video port describes. (0, 0) when neither is
// known, which the controller reports as an invalid resolution.
Resolution chooseResolution(const Resolution& port, const Resolution& firstFrame);

} // namespace framegrab
