#pragma once

// A planar frame of the filter ("RGB24PlanarColumn": three planes R, G, B, each
// stored column by column) is exactly an H x W x 3 uint8 array in Fortran order.
// It becomes a numpy array without a copy: the array's data is the frame's, and
// the array owns the frame, which is released (destroy) when the array goes.

#include "tools/common/camera_session.h"

#include <cstdint>
#include <memory>
#include <pybind11/numpy.h>

namespace kx {

// The array over frame's bytes. keepLoaded holds what must outlive the frame (the
// session whose libraries made it). Needs the interpreter lock.
pybind11::array frameArray(kxtools::FramePtr frame, std::shared_ptr<const void> keepLoaded);

// Frames owned by arrays that are still alive (tests: every frame is released).
std::int64_t liveFrames();

// The frame an array made by frameArray owns, or null (tests: the array's data is
// the frame's).
const webcam::VideoDataBuffer* frameOf(const pybind11::array& array);

} // namespace kx
