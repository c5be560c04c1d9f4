#pragma once

// The host structure the converter makes of a sensor sample buffer, as the host
// reads it: 1-by-1, with the same 18 fields in the same order whatever the sensor;
// "Timestamp" and "Measurement" are always set, the others only when the buffer's
// sensor delivers them.

#include <array>
#include <cstdint>

namespace kineconvert {

constexpr std::array<const char*, 18> SAMPLE_FIELDS = {"Timestamp",
                                                       "Measurement",
                                                       "Latitude",
                                                       "Longitude",
                                                       "Altitude",
                                                       "HorizontalAccuracy",
                                                       "VerticalAccuracy",
                                                       "Course",
                                                       "Speed",
                                                       "TrueHeading",
                                                       "MagneticHeading",
                                                       "HeadingAccuracy",
                                                       "X",
                                                       "Y",
                                                       "Z",
                                                       "Azimuth",
                                                       "Pitch",
                                                       "Roll"};

// "Measurement": which sensor the structure came from.
enum Measurement : std::int32_t {
    OTHER_SENSOR = 0, // a sample buffer of a class without fields of its own
    ACCELEROMETER = 1,
    GYROSCOPE = 2,
    HEADING = 3,
    HORIZONTAL_LOCATION = 4,
    MAGNETOMETER = 5,
    ORIENTATION = 6,
    VERTICAL_LOCATION = 7,
};

} // namespace kineconvert
