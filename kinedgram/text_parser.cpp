#include "text_parser.h"

#include "mobilesensor/device/magnetic_scale.h"
#include "mobilesensor/sample_buffers.h"

namespace kinedgram {

using mobilesensor::MAGNETIC_SCALE;
using mobilesensor::MobileSensorDataBuffer;
using mobilesensor::ParsedDatagram;

namespace {

const MobileSensorDataBuffer::App APP = MobileSensorDataBuffer::KINEDGRAM_APP;

// Positions in TextReading::values of a location datagram (fields 3 to 8).
enum LocationValue { ALTITUDE, LATITUDE, LONGITUDE, FIX_TIME, ACCURACY, SPEED };

// The horizontal part of a fix; the app sends no course.
mobilesensor::HorizontalLocationDataBuffer* horizontalBuffer(const double* v) {
    const mobilesensor::HorizontalLocationDataBuffer::Location location = {
        v[LATITUDE], v[LONGITUDE], v[ACCURACY], 0.0, v[SPEED]};
    return new mobilesensor::HorizontalLocationDataBuffer(APP, location);
}

// The vertical part of a fix; the app sends no vertical accuracy.
mobilesensor::VerticalLocationDataBuffer* verticalBuffer(const double* v) {
    const mobilesensor::VerticalLocationDataBuffer::Location location = {v[ALTITUDE], 0.0};
    return new mobilesensor::VerticalLocationDataBuffer(APP, location);
}

} // namespace

ParsedDatagram TextParser::parse(std::uint8_t* data, std::size_t length) {
    TextReading reading;
    if (!parseTextDatagram(data, length, fields, reading))
        return ParsedDatagram::rejected();
    const double* v = reading.values;
    ParsedDatagram parsed = ParsedDatagram::reading();
    switch (reading.kind) {
    case 'A':
        parsed.add(new mobilesensor::AccelerometerDataBuffer(APP, v[0], v[1], v[2]));
        break;
    case 'M':
        parsed.add(new mobilesensor::MagnetometerDataBuffer(
            APP, {v[0] / MAGNETIC_SCALE, v[1] / MAGNETIC_SCALE, v[2] / MAGNETIC_SCALE}));
        break;
    case 'O':
        parsed.add(new mobilesensor::OrientationDataBuffer(APP, v[0], v[1], v[2]));
        break;
    default: // 'G' or 'N'
        addFix(parsed, reading);
    }
    return parsed;
}

void TextParser::addFix(ParsedDatagram& parsed, const TextReading& reading) {
    const double* v = reading.values;
    const std::int32_t source = reading.kind == 'G' ? FIX_SOURCE_G : FIX_SOURCE_N;
    if (!acceptFix(fixState, source, v[FIX_TIME], v[ACCURACY], v[SPEED]))
        return;
    if (v[ACCURACY] >= 0.0) {
        parsed.add(horizontalBuffer(v));
        parsed.add(verticalBuffer(v));
    } else if (source == FIX_SOURCE_N) {
        // Without a usable accuracy an N fix shows its height alone, a G fix nothing.
        parsed.add(verticalBuffer(v));
    }
}

} // namespace kinedgram
