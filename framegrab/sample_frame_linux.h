#pragma once

#include "capture_controller.h"

#include <gst/gst.h>

// From a sample of the application sink to what the device reads.

namespace framegrab {

// Hands one sample to the client: its BGRA image, with the row stride and the
// readable size of the buffer (GstVideoMeta strides and offsets honoured). A sample
// that carries no image is reported as "No frames were received"; a buffer smaller
// than its caps say is dropped.
void handOverSample(ControllerClient& client, GstSample* sample, double timestamp);

// The capture time of a sample in seconds on the pipeline's clock: its buffer's
// presentation time as running time, plus the base time of the run. The clock keeps
// running across runs, so time stamps of a later open continue to grow. Without a
// presentation time, the clock's time now.
double captureTime(GstSample* sample, GstElement* sink);

} // namespace framegrab
