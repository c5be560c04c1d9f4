// The extension entry of lensprobe: lists the Video4Linux cameras under /dev/ by
// name and device path.

#include "conduit/exports.h"

#include "conduit/kit/boundary.h"
#include "conduit/tvarray/tv_array.h"
#include "lensprobe/camera_probe.h"
#include "lensprobe/camera_results.h"
#include "lensprobe/camera_scan.h"

KX_DEFINE_VERSION_EXPORTS(lensprobe);

// Takes no arguments: the argument count and the arguments are not read. Slots 0,
// 1 and 2 are always filled, whatever number of results was asked for, so the
// host must provide room for three.
extern "C" KX_EXPORT void tevFunction(int /*resultCount*/, tvArray* results[],
                                      int /*argumentCount*/, const tvArray* /*arguments*/[]) {
    if (results == nullptr)
        return;
    conduit::kit::guarded(
        [results] {
            lensprobe::SystemProbe probe;
            lensprobe::storeCameraList(results, lensprobe::scanCameras("/dev/", probe));
        },
        // A scan that fails (out of memory) answers as one that found no camera.
        [results](const conduit::kit::Failure&) { lensprobe::storeCameraList(results, {}); });
}
