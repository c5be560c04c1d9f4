#pragma once

// What camlist prints for a listing of cameras.

#include "camera_details.h"
#include "tools/common/camera_listing.h"

#include <string>
#include <vector>

namespace camlist {

// "no cameras found" or one line per camera with its name and place, the names
// padded to one width.
std::string listingText(const kxtools::CameraListing& listing);

// The same with the details of each camera (details[i] for camera i): a block per
// camera of its name, then its device path, stable links and modes, indented.
std::string listingText(const kxtools::CameraListing& listing,
                        const std::vector<CameraDetails>& details);

} // namespace camlist
