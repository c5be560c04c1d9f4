#include "sample_structure.h"

#include "host_array.h"
#include "mobilesensor/sample_buffers.h"

#include <cstddef>
#include <cstring>

namespace kineconvert {

namespace {

using mobilesensor::MobileSensorDataBuffer;

// One data field of a sample and its value.
struct FieldValue {
    const char* name;
    double value;
};

// What one sample buffer contributes beyond "Timestamp": its Measurement code and
// the data fields of its sensor.
struct Reading {
    Measurement measurement = OTHER_SENSOR;
    std::array<FieldValue, 5> fields{};
    std::size_t fieldCount = 0;

    void set(const char* name, double value) { fields[fieldCount++] = {name, value}; }
};

// The first matching class wins, in a fixed order, so that a buffer class derived
// from one of these is read as its base.
Reading readSample(const MobileSensorDataBuffer& sample) {
    Reading reading;
    // Course and vertical accuracy are reported by the binary-record app only.
    const bool fullFix = sample.getApp() == MobileSensorDataBuffer::KINESCOPE_APP;

    if (const auto* accel = dynamic_cast<const mobilesensor::AccelerometerDataBuffer*>(&sample)) {
        double x = 0.0, y = 0.0, z = 0.0;
        accel->getData(x, y, z);
        reading.measurement = ACCELEROMETER;
        reading.set("X", x);
        reading.set("Y", y);
        reading.set("Z", z);
    } else if (const auto* gyro = dynamic_cast<const mobilesensor::GyroscopeDataBuffer*>(&sample)) {
        double x = 0.0, y = 0.0, z = 0.0;
        gyro->getData(x, y, z);
        reading.measurement = GYROSCOPE;
        reading.set("X", x);
        reading.set("Y", y);
        reading.set("Z", z);
    } else if (const auto* horizontal =
                   dynamic_cast<const mobilesensor::HorizontalLocationDataBuffer*>(&sample)) {
        mobilesensor::HorizontalLocationDataBuffer::Location location{};
        horizontal->getData(location);
        reading.measurement = HORIZONTAL_LOCATION;
        reading.set("Latitude", location.latitude);
        reading.set("Longitude", location.longitude);
        reading.set("HorizontalAccuracy", location.horizontalAccuracy);
        if (fullFix)
            reading.set("Course", location.course);
        reading.set("Speed", location.speed);
    } else if (const auto* vertical =
                   dynamic_cast<const mobilesensor::VerticalLocationDataBuffer*>(&sample)) {
        mobilesensor::VerticalLocationDataBuffer::Location location{};
        vertical->getData(location);
        reading.measurement = VERTICAL_LOCATION;
        reading.set("Altitude", location.altitude);
        if (fullFix)
            reading.set("VerticalAccuracy", location.verticalAccuracy);
    } else if (const auto* magnetic =
                   dynamic_cast<const mobilesensor::MagnetometerDataBuffer*>(&sample)) {
        mobilesensor::MagnetometerDataBuffer::Magnetometer field{};
        magnetic->getData(field);
        reading.measurement = MAGNETOMETER;
        reading.set("X", field.x);
        reading.set("Y", field.y);
        reading.set("Z", field.z);
    } else if (const auto* heading =
                   dynamic_cast<const mobilesensor::HeadingDataBuffer*>(&sample)) {
        mobilesensor::HeadingDataBuffer::Heading value{};
        heading->getData(value);
        reading.measurement = HEADING;
        reading.set("TrueHeading", value.trueHeading);
        reading.set("MagneticHeading", value.magneticHeading);
        reading.set("HeadingAccuracy", value.headingAccuracy);
    } else if (const auto* orientation =
                   dynamic_cast<const mobilesensor::OrientationDataBuffer*>(&sample)) {
        double azimuth = 0.0, pitch = 0.0, roll = 0.0;
        orientation->getData(azimuth, pitch, roll);
        reading.measurement = ORIENTATION;
        reading.set("Azimuth", azimuth);
        reading.set("Pitch", pitch);
        reading.set("Roll", roll);
    }
    return reading;
}

// A new real 1-by-count array of a numeric class holding count elements of T.
template <class T> ArrayPtr numericRow(tvClassID classID, const T* values, std::size_t count) {
    ArrayPtr array(tvCreateNumericMatrix(1, count, classID, tvREAL));
    if (array == nullptr)
        return nullptr;
    void* data = tvGetData(array.get());
    if (data == nullptr)
        return nullptr;
    std::memcpy(data, values, count * sizeof(T));
    return array;
}

// Stores value as the structure's field; false when there is no value to store.
bool setField(tvArray* structure, const char* name, ArrayPtr value) {
    if (value == nullptr)
        return false;
    tvSetField(structure, 0, name, value.release());
    return true;
}

} // namespace

tvArray* sampleStructure(const conduit::interfaces::IDataBuffer* buffer) {
    const auto* sample = dynamic_cast<const MobileSensorDataBuffer*>(buffer);
    if (sample == nullptr || sample->getCount() == 0)
        return nullptr;

    std::array<const char*, SAMPLE_FIELDS.size()> names = SAMPLE_FIELDS;
    ArrayPtr structure(tvCreateStructMatrix(1, 1, static_cast<int>(names.size()), names.data()));
    if (structure == nullptr)
        return nullptr;

    const MobileSensorDataBuffer::TimeStamp time = sample->getTimestamp();
    const double row[] = {time.year, time.month, time.day, time.hour, time.minute, time.second};
    if (!setField(structure.get(), "Timestamp", numericRow(tvDOUBLE_CLASS, row, 6)))
        return nullptr;

    const Reading reading = readSample(*sample);
    const std::int32_t code = reading.measurement;
    if (!setField(structure.get(), "Measurement", numericRow(tvINT32_CLASS, &code, 1)))
        return nullptr;
    for (std::size_t i = 0; i < reading.fieldCount; ++i) {
        const FieldValue& field = reading.fields[i];
        if (!setField(structure.get(), field.name, numericRow(tvDOUBLE_CLASS, &field.value, 1)))
            return nullptr;
    }
    return structure.release();
}

} // namespace kineconvert
