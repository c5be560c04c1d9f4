// The extension entry of lenslist: lists Media Foundation's video capture devices
// by friendly name and 1-based position.

#include "conduit/exports.h"

#include "conduit/kit/boundary.h"
#include "conduit/tvarray/tv_array.h"
#include "lenslist/camera_list.h"
#include "lenslist/camera_results.h"
#include "lenslist/media_foundation.h"

KX_DEFINE_VERSION_EXPORTS(lenslist);

// Takes no arguments: the argument count and the arguments are not read. Slots 0,
// 1 and 2 are always filled, whatever number of results was asked for, so the
// host must provide room for three. COM and Media Foundation are used in the
// state the calling thread has; a failure shows only as false in slot 0.
extern "C" KX_EXPORT void tevFunction(int /*resultCount*/, tvArray* results[],
                                      int /*argumentCount*/, const tvArray* /*arguments*/[]) {
    if (results == nullptr)
        return;
    conduit::kit::guarded(
        [results] {
            lenslist::SystemMediaFoundation mediaFoundation;
            lenslist::storeCameraListing(results, lenslist::listCameras(mediaFoundation));
        },
        // A listing that fails (out of memory) answers as a failed enumeration.
        [results](const conduit::kit::Failure&) { lenslist::storeCameraListing(results, {}); });
}
