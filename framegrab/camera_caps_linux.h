#pragma once

#include "camera_mode.h"

#include <gst/gst.h>
#include <vector>

// Camera modes from and to GStreamer caps.

namespace framegrab {

// The modes a camera's caps state, in their order, each once: one per raw pixel
// format, size and rate (or range of rates). Structures without a fixed width and
// height (drivers that state ranges of sizes) are left out.
std::vector<CameraMode> modesFromCaps(const GstCaps* caps);

// The caps that make a source deliver mode at its (fastest) rate: "video/x-raw"
// with the pixel format, or "image/jpeg". The caller owns them.
GstCaps* capsForMode(const CameraMode& mode);

// The modes of a source element (or a bin with one "src" pad) as it states them
// once open: it is taken to READY for the caps query and back to NULL. Takes over
// a floating reference; empty when the source cannot be opened.
std::vector<CameraMode> readSourceModes(GstElement* source);

} // namespace framegrab
