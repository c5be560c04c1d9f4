#pragma once

// Calling a camera-listing extension module (lensprobe on Linux) as the host calls
// it: through its tevFunction, with three result slots, which the host then owns.

#include "camera_details.h"
#include "conduit/tvarray/tv_array.h"

#include <string>
#include <vector>

namespace camlist {

struct CameraListing {
    bool succeeded = false;
    std::vector<std::string> names;
    std::vector<std::string> places; // device paths (or positions, on Windows)
};

// Calls entry with no arguments and reads the three slots: the success flag and
// two cell arrays of the same length. Every result is released before returning.
// Throws std::runtime_error when the slots do not have that shape.
CameraListing listCameras(tevFunctionPtr entry);

// The lines camlist prints: "no cameras found" or one line per camera with its
// name and place, the names padded to one width.
std::string listingText(const CameraListing& listing);

// The same with the details of each camera (details[i] for camera i): a block per
// camera of its name, then its device path, stable links and modes, indented.
std::string listingText(const CameraListing& listing, const std::vector<CameraDetails>& details);

} // namespace camlist
