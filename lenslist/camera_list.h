#pragma once

#include "lenslist/media_foundation.h"

#include <string>
#include <vector>

namespace lenslist {

// The video capture devices of one enumeration, in Media Foundation's order, with
// their friendly names in UTF-8. enumerated is false when setting up or running
// the enumeration failed; names is then empty.
struct CameraListing {
    bool enumerated = false;
    std::vector<std::string> names;
};

// Enumerates the video capture devices. Every activation object is released once
// and the device array freed before this returns, whatever happens.
CameraListing listCameras(MediaFoundation& mediaFoundation);

} // namespace lenslist
