#include "device.h"

#include "mobilesensor/sample_buffers.h"
#include "text_datagram.h"

namespace kinedgram {

using conduit::interfaces::device::PropertyList;
using mobilesensor::MobileSensorDataBuffer;

namespace {

const MobileSensorDataBuffer::App APP = MobileSensorDataBuffer::KINEDGRAM_APP;

// The buffers hold the magnetic field a millionth of the number the app sends, as
// the buffers of the other sensor app do.
constexpr double MAGNETIC_SCALE = 1000000.0;

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

Device::Device(conduit::interfaces::channel::IControl& hostChannel)
    : core(hostChannel, "kinedgram", RECEIVE_SIZE,
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
        if (!data || length == 0)
            return false;
        switch (data[0]) {
        case 'A':
            return parseAccelerometer(data.get(), length);
        case 'M':
            return parseMagnetometer(data.get(), length);
        case 'O':
            return parseOrientation(data.get(), length);
        case 'G':
            return parseLocationG(data.get(), length);
        case 'N':
            return parseLocationN(data.get(), length);
        default:
            return false;
        }
    } catch (...) {
        // A buffer that could not be built; the next datagram is received all the same.
        return false;
    }
}

bool Device::parseAccelerometer(std::uint8_t* data, std::size_t length) {
    TextReading reading;
    if (!parseTextDatagram(data, length, fields, reading))
        return false;
    const double* v = reading.values;
    return core.push(new mobilesensor::AccelerometerDataBuffer(APP, v[0], v[1], v[2]));
}

bool Device::parseMagnetometer(std::uint8_t* data, std::size_t length) {
    TextReading reading;
    if (!parseTextDatagram(data, length, fields, reading))
        return false;
    const double* v = reading.values;
    const mobilesensor::MagnetometerDataBuffer::Magnetometer field = {
        v[0] / MAGNETIC_SCALE, v[1] / MAGNETIC_SCALE, v[2] / MAGNETIC_SCALE};
    return core.push(new mobilesensor::MagnetometerDataBuffer(APP, field));
}

bool Device::parseOrientation(std::uint8_t* data, std::size_t length) {
    TextReading reading;
    if (!parseTextDatagram(data, length, fields, reading))
        return false;
    const double* v = reading.values;
    return core.push(new mobilesensor::OrientationDataBuffer(APP, v[0], v[1], v[2]));
}

bool Device::acceptLocation(std::uint8_t* data, std::size_t length, std::int32_t source,
                            TextReading& reading, bool& taken) {
    if (!parseTextDatagram(data, length, fields, reading))
        return false;
    const double* v = reading.values;
    taken = acceptFix(fixState, source, v[FIX_TIME], v[ACCURACY], v[SPEED]);
    return true;
}

bool Device::parseLocationG(std::uint8_t* data, std::size_t length) {
    TextReading reading;
    bool taken = false;
    if (!acceptLocation(data, length, FIX_SOURCE_G, reading, taken))
        return false;
    const double* v = reading.values;
    // A fix without a usable accuracy is remembered but shown to nobody.
    if (!taken || !(v[ACCURACY] >= 0.0))
        return true;
    return core.push(horizontalBuffer(v)) && core.push(verticalBuffer(v));
}

bool Device::parseLocationN(std::uint8_t* data, std::size_t length) {
    TextReading reading;
    bool taken = false;
    if (!acceptLocation(data, length, FIX_SOURCE_N, reading, taken))
        return false;
    if (!taken)
        return true;
    const double* v = reading.values;
    // Without a usable accuracy the height alone is passed on.
    if (!(v[ACCURACY] >= 0.0))
        return core.push(verticalBuffer(v));
    return core.push(horizontalBuffer(v)) && core.push(verticalBuffer(v));
}

} // namespace kinedgram
