#pragma once

// Calling a camera-listing extension module (lensprobe on Linux) as the host calls
// it: through its tevFunction, with three result slots, which the host then owns.

#include "conduit/tvarray/tv_array.h"

#include <string>
#include <vector>

namespace kxtools {

struct CameraListing {
    bool succeeded = false;
    std::vector<std::string> names;
    std::vector<std::string> places; // device paths (or positions, on Windows)
};

// Calls entry with no arguments and reads the three slots: the success flag and
// two cell arrays of the same length. Every result is released before returning.
// Throws std::runtime_error when the slots do not have that shape.
CameraListing listCameras(tevFunctionPtr entry);

} // namespace kxtools
