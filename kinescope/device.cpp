#include "device.h"

#include "binary_datagram.h"
#include "mobilesensor/sample_buffers.h"

namespace kinescope {

using conduit::interfaces::device::PropertyList;
using mobilesensor::MobileSensorDataBuffer;

namespace {

const MobileSensorDataBuffer::App APP = MobileSensorDataBuffer::KINESCOPE_APP;

// The app counts acceleration in units of gravity; the buffers hold m/s².
constexpr double GRAVITY = 9.81;
// The buffers hold the magnetic field a millionth of the number the app sends.
constexpr double MAGNETIC_SCALE = 1000000.0;

// The i-th payload double of a record.
double payload(const std::uint8_t* data, std::size_t index) {
    return readDouble(data, PAYLOAD_OFFSET + 8 * index);
}

} // namespace

Device::Device(conduit::interfaces::channel::IControl& hostChannel)
    : core(hostChannel, "kinescope", RECEIVE_SIZE,
           [this](boost::shared_array<std::uint8_t> data, std::size_t length) {
               return onDatagram(std::move(data), length);
           }) {}

Device::~Device() = default;

void Device::init(const PropertyList& options, PropertyList& published) {
    core.init(options, published);
}

conduit::interfaces::device::IDataSource* Device::getDataSource() const {
    return const_cast<Device*>(this);
}

conduit::interfaces::device::IDataSink* Device::getDataSink() const { return nullptr; }

void Device::open(const PropertyList&) { core.open(); }

void Device::execute(const char*, const PropertyList&) {}

void Device::close() { core.close(); }

void Device::term() { delete this; }

bool Device::isSourceDone() const { return false; }

std::int32_t Device::getSourcePolling() const { return 0; }

conduit::interfaces::channel::IControl& Device::getChannel() const { return core.getChannel(); }

void Device::errorFcn(const std::string& id, const std::string& text) { core.errorFcn(id, text); }

void Device::warnFcn(const std::string& id, const std::string& text) { core.warnFcn(id, text); }

bool Device::onDatagram(boost::shared_array<std::uint8_t> data, std::size_t length) {
    try {
        core.publishIPAddressOnce();
        const std::uint8_t* bytes = data.get();
        switch (recordType(bytes, length)) {
        case RECORD_HEADING:
            return parseHeading(bytes, length);
        case RECORD_ACCELERATION:
            return parseAccelerometer(bytes, length);
        case RECORD_ROTATION_RATE:
            return parseGyroscope(bytes, length);
        case RECORD_LOCATION:
            return parseLocation(bytes, length);
        default:
            return false; // unknown type, or too short to carry one
        }
    } catch (...) {
        // A buffer that could not be built: the buffers before it stay written.
        return false;
    }
}

bool Device::parseHeading(const std::uint8_t* data, std::size_t length) {
    if (length != recordLength(RECORD_HEADING))
        return false;
    const mobilesensor::HeadingDataBuffer::Heading heading = {payload(data, 0), payload(data, 1),
                                                              payload(data, 2)};
    bool accepted = true;
    // A negative (or NaN) accuracy marks the heading invalid; the field is still good.
    if (heading.headingAccuracy >= 0.0)
        accepted = core.push(new mobilesensor::HeadingDataBuffer(APP, heading));
    if (!accepted)
        return false;
    const mobilesensor::MagnetometerDataBuffer::Magnetometer field = {
        payload(data, 3) / MAGNETIC_SCALE, payload(data, 4) / MAGNETIC_SCALE,
        payload(data, 5) / MAGNETIC_SCALE};
    return core.push(new mobilesensor::MagnetometerDataBuffer(APP, field));
}

bool Device::parseAccelerometer(const std::uint8_t* data, std::size_t length) {
    if (length != recordLength(RECORD_ACCELERATION))
        return false;
    return core.push(new mobilesensor::AccelerometerDataBuffer(
        APP, payload(data, 0) * GRAVITY, payload(data, 1) * GRAVITY, payload(data, 2) * GRAVITY));
}

bool Device::parseGyroscope(const std::uint8_t* data, std::size_t length) {
    if (length != recordLength(RECORD_ROTATION_RATE))
        return false;
    return core.push(new mobilesensor::GyroscopeDataBuffer(APP, payload(data, 0), payload(data, 1),
                                                           payload(data, 2)));
}

bool Device::parseLocation(const std::uint8_t* data, std::size_t length) {
    if (length != recordLength(RECORD_LOCATION))
        return false;
    // Payload: latitude, longitude, altitude, horizontal accuracy, vertical accuracy,
    // course, speed.
    const mobilesensor::HorizontalLocationDataBuffer::Location horizontal = {
        payload(data, 0), payload(data, 1), payload(data, 3), payload(data, 5), payload(data, 6)};
    const mobilesensor::VerticalLocationDataBuffer::Location vertical = {payload(data, 2),
                                                                         payload(data, 4)};
    // A fix the app marks invalid (negative or NaN accuracy) is passed over.
    if (!(horizontal.horizontalAccuracy >= 0.0 && vertical.verticalAccuracy >= 0.0))
        return true;
    return core.push(new mobilesensor::HorizontalLocationDataBuffer(APP, horizontal)) &&
           core.push(new mobilesensor::VerticalLocationDataBuffer(APP, vertical));
}

} // namespace kinescope
