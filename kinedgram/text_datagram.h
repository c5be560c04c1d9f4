#pragma once

#include "text_fields.h"

#include <cstddef>
#include <cstdint>

namespace kinedgram {

// One reading of the text-datagram app, as the datagram carries it (unscaled).
struct TextReading {
    char kind = 0;         // 'A', 'M', 'O', 'G' or 'N'
    double values[6] = {}; // fields 3 onwards: three for A, M, O; six for G, N
};

// Whether a first byte names a datagram kind.
bool isTextKind(std::uint8_t firstByte);

// Parses one datagram of length bytes. Its last byte is the app's terminator and is
// overwritten with NUL; the text runs up to the first NUL. False when the datagram
// is too short for its kind, breaks the escape rules, has the wrong number of
// fields, or a field it reads is not a number; reading is then unspecified.
// fields is scratch space reused from call to call.
bool parseTextDatagram(std::uint8_t* data, std::size_t length, TextFields& fields,
                       TextReading& reading);

} // namespace kinedgram
