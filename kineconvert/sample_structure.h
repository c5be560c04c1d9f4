#pragma once

#include "conduit/interfaces/data_buffer.h"
#include "conduit/tvarray/tv_array.h"

#include <array>
#include <cstdint>

// A sensor sample buffer as a 1-by-1 host structure. Every structure has the same
// 18 fields in the same order, whatever the sensor; "Timestamp" and "Measurement"
// are always set, the others only when the buffer's sensor delivers them.

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

// A new structure built from a mobilesensor sample buffer, owned by the caller. Null
// when the buffer is not a sample buffer, holds no sample, or the host could not
// make a value; nothing is left allocated then. Throws only what the buffer's own
// operations throw, or std::bad_alloc.
tvArray* sampleStructure(const conduit::interfaces::IDataBuffer* buffer);

} // namespace kineconvert
