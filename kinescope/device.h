#pragma once

#include "mobilesensor/device/sensor_device.h"
#include "record_parser.h"

namespace kinescope {

// The device of the phone app that sends fixed-length binary records. Between open
// and close each record becomes heading and magnetometer, acceleration, rotation
// rate or location buffers in the channel (record_parser.h).
using Device = mobilesensor::SensorDevice<RecordParser>;

} // namespace kinescope
