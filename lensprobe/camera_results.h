#pragma once

#include "conduit/tvarray/tv_array.h"
#include "lensprobe/camera_scan.h"

namespace lensprobe {

// Fills result slots 0, 1 and 2 (the host provides room for three): true, then
// the names and the paths as 1-by-N cell arrays of char rows, or two 0-by-0 cell
// arrays when no device was named. The host owns the values.
void storeCameraList(tvArray* results[], const CameraList& cameras);

} // namespace lensprobe
