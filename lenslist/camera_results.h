#pragma once

#include "conduit/tvarray/tv_array.h"
#include "lenslist/camera_list.h"

namespace lenslist {

// Fills result slots 0, 1 and 2 (the host provides room for three). After a
// successful enumeration: true, the names as a 1-by-N cell array of char rows and
// the positions 1 … N as a 1-by-N cell array of doubles, or two 0-by-0 cell arrays
// when there are no devices. After a failed one: false and two 0-by-0 cell arrays.
// The host owns the values.
void storeCameraListing(tvArray* results[], const CameraListing& listing);

} // namespace lenslist
