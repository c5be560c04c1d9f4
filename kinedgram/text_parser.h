#pragma once

#include "kinedgram/fix_selection.h"
#include "kinedgram/text_datagram.h"
#include "kinedgram/text_fields.h"
#include "mobilesensor/device/parsed_datagram.h"

#include <cstddef>
#include <cstdint>

namespace kinedgram {

// The text-datagram app's datagrams as sample buffers: acceleration, magnetic field
// and orientation readings yield one buffer each; location fixes of the two kinds
// the app sends pass a selection that keeps the better one (fix_selection.h) and
// yield a horizontal and a vertical buffer, or fewer.
class TextParser {
public:
    static constexpr const char* COMPONENT = "kinedgram";
    // The longest datagram delivered whole; a longer one arrives cut to this size.
    static constexpr std::size_t RECEIVE_SIZE = 200;

    // One datagram of length bytes; byte length - 1 is the app's terminator and is
    // overwritten. Rejected when it is malformed (text_datagram.h). A location fix
    // that the selection passes over is a reading without buffers. A fix that is
    // taken is the last fix from then on, whatever becomes of its buffers.
    mobilesensor::ParsedDatagram parse(std::uint8_t* data, std::size_t length);

    // The last accepted location fix.
    const FixState& getFixState() const { return fixState; }

private:
    // The buffers of a location fix that the selection takes.
    void addFix(mobilesensor::ParsedDatagram& parsed, const TextReading& reading);

    FixState fixState;
    // Scratch space reused from datagram to datagram.
    TextFields fields;
};

} // namespace kinedgram
