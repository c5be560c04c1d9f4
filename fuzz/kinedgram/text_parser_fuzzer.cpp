// Differential fuzzing of the text datagram parser: for any bytes, the plug-in's
// parser and the Boost definition of the format must agree on acceptance and on
// every value, and the parser must stay inside the datagram.

#include "kinedgram/reference/boost_text_reference.h"
#include "kinedgram/text_datagram.h"
#include "kinedgram/text_fields.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool sameValue(double a, double b) {
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 200)
        return 0; // the listener never delivers more than its 200-byte buffer
    // An exact-size copy, so that any read past the datagram is caught.
    std::vector<std::uint8_t> datagram(data, data + size);
    static kinedgram::TextFields fields;
    kinedgram::TextReading reading;
    const bool accepted = kinedgram::parseTextDatagram(datagram.data(), size, fields, reading);

    // The same datagram through the definition.
    std::vector<std::uint8_t> copy(data, data + size);
    copy[size - 1] = 0;
    const std::string text(reinterpret_cast<const char*>(copy.data()));
    const char kind = static_cast<char>(data[0]);
    const bool location = kind == 'G' || kind == 'N';
    const bool motion = kind == 'A' || kind == 'M' || kind == 'O';
    const std::size_t minimum = location ? 25 : 16;
    std::optional<std::vector<double>> expected;
    if ((location || motion) && size >= minimum)
        expected = kinedgram::reference::parseText(text, location ? 9 : 6, location ? 6 : 3);

    if (accepted != expected.has_value())
        std::abort();
    for (std::size_t i = 0; accepted && i < expected->size(); ++i) {
        if (!sameValue((*expected)[i], reading.values[i]))
            std::abort();
    }
    return 0;
}
