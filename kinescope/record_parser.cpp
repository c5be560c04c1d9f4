#include "record_parser.h"

#include "mobilesensor/device/magnetic_scale.h"
#include "mobilesensor/sample_buffers.h"

namespace kinescope {

using mobilesensor::MAGNETIC_SCALE;
using mobilesensor::MobileSensorDataBuffer;
using mobilesensor::ParsedDatagram;

namespace {

const MobileSensorDataBuffer::App APP = MobileSensorDataBuffer::KINESCOPE_APP;

// The app counts acceleration in units of gravity; the buffers hold m/s².
constexpr double GRAVITY = 9.81;

// The i-th payload double of a record.
double payload(const std::uint8_t* data, std::size_t index) {
    return readDouble(data, PAYLOAD_OFFSET + 8 * index);
}

void addHeading(ParsedDatagram& parsed, const std::uint8_t* data) {
    const mobilesensor::HeadingDataBuffer::Heading heading = {payload(data, 0), payload(data, 1),
                                                              payload(data, 2)};
    // A negative (or NaN) accuracy marks the heading invalid; the field is still good.
    if (heading.headingAccuracy >= 0.0)
        parsed.add(new mobilesensor::HeadingDataBuffer(APP, heading));
    const mobilesensor::MagnetometerDataBuffer::Magnetometer field = {
        payload(data, 3) / MAGNETIC_SCALE, payload(data, 4) / MAGNETIC_SCALE,
        payload(data, 5) / MAGNETIC_SCALE};
    parsed.add(new mobilesensor::MagnetometerDataBuffer(APP, field));
}

void addLocation(ParsedDatagram& parsed, const std::uint8_t* data) {
    // Payload: latitude, longitude, altitude, horizontal accuracy, vertical accuracy,
    // course, speed.
    const mobilesensor::HorizontalLocationDataBuffer::Location horizontal = {
        payload(data, 0), payload(data, 1), payload(data, 3), payload(data, 5), payload(data, 6)};
    const mobilesensor::VerticalLocationDataBuffer::Location vertical = {payload(data, 2),
                                                                         payload(data, 4)};
    // A fix the app marks invalid (negative or NaN accuracy) is passed over.
    if (!(horizontal.horizontalAccuracy >= 0.0 && vertical.verticalAccuracy >= 0.0))
        return;
    parsed.add(new mobilesensor::HorizontalLocationDataBuffer(APP, horizontal));
    parsed.add(new mobilesensor::VerticalLocationDataBuffer(APP, vertical));
}

} // namespace

ParsedDatagram RecordParser::parse(const std::uint8_t* data, std::size_t length) const {
    const std::uint8_t type = recordType(data, length);
    // recordLength is 0 for an unknown type and for a datagram too short to carry one.
    if (recordLength(type) == 0 || length != recordLength(type))
        return ParsedDatagram::rejected();
    ParsedDatagram parsed = ParsedDatagram::reading();
    switch (type) {
    case RECORD_HEADING:
        addHeading(parsed, data);
        break;
    case RECORD_ACCELERATION:
        parsed.add(new mobilesensor::AccelerometerDataBuffer(APP, payload(data, 0) * GRAVITY,
                                                             payload(data, 1) * GRAVITY,
                                                             payload(data, 2) * GRAVITY));
        break;
    case RECORD_ROTATION_RATE:
        parsed.add(new mobilesensor::GyroscopeDataBuffer(APP, payload(data, 0), payload(data, 1),
                                                         payload(data, 2)));
        break;
    default: // RECORD_LOCATION
        addLocation(parsed, data);
    }
    return parsed;
}

} // namespace kinescope
