#pragma once

#include "mobilesensor/device/sensor_device.h"
#include "text_parser.h"

namespace kinedgram {

// The device of the phone app that sends one comma-separated text line per reading.
// Between open and close each datagram becomes acceleration, magnetic field,
// orientation or location buffers in the channel (text_parser.h).
using Device = mobilesensor::SensorDevice<TextParser>;

} // namespace kinedgram
