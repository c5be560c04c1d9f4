#pragma once

#include "kinescope/binary_datagram.h"
#include "mobilesensor/device/parsed_datagram.h"

#include <cstddef>
#include <cstdint>

namespace kinescope {

// The binary app's records as sample buffers: heading and magnetic field,
// acceleration, rotation rate or location, read in place. Nothing is kept from one
// record to the next.
class RecordParser {
public:
    static constexpr const char* COMPONENT = "kinescope";
    // The largest record; a longer datagram arrives cut to this size.
    static constexpr std::size_t RECEIVE_SIZE = LARGEST_RECORD;

    // One datagram of length bytes. Rejected for a record of unknown type, of a
    // length other than its type's, or too short to carry a type. A heading or a
    // location the app marks invalid (a negative or NaN accuracy) yields no buffer;
    // the magnetic field of an invalid heading still does.
    mobilesensor::ParsedDatagram parse(const std::uint8_t* data, std::size_t length) const;
};

} // namespace kinescope
