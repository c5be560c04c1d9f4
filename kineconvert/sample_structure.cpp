#include "sample_structure.h"

#include "host_array.h"
#include "mobilesensor/sample_buffers.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <typeinfo>

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

// The sample classes with a reader, in the order they are tried.
enum class SampleClass {
    Other,
    Accelerometer,
    Gyroscope,
    HorizontalLocation,
    VerticalLocation,
    Magnetometer,
    Heading,
    Orientation
};

// The first matching class wins, in a fixed order, so that a buffer class derived
// from one of these is read as its base.
SampleClass classOf(const MobileSensorDataBuffer& sample) {
    using namespace mobilesensor;
    if (dynamic_cast<const AccelerometerDataBuffer*>(&sample))
        return SampleClass::Accelerometer;
    if (dynamic_cast<const GyroscopeDataBuffer*>(&sample))
        return SampleClass::Gyroscope;
    if (dynamic_cast<const HorizontalLocationDataBuffer*>(&sample))
        return SampleClass::HorizontalLocation;
    if (dynamic_cast<const VerticalLocationDataBuffer*>(&sample))
        return SampleClass::VerticalLocation;
    if (dynamic_cast<const MagnetometerDataBuffer*>(&sample))
        return SampleClass::Magnetometer;
    if (dynamic_cast<const HeadingDataBuffer*>(&sample))
        return SampleClass::Heading;
    if (dynamic_cast<const OrientationDataBuffer*>(&sample))
        return SampleClass::Orientation;
    return SampleClass::Other;
}

// A buffer seen as a sample: null when it is no sample buffer.
struct Sample {
    const MobileSensorDataBuffer* buffer = nullptr;
    SampleClass sampleClass = SampleClass::Other;
};

// A dynamic_cast between libraries compares class names character by character, and
// a stream converts tens of thousands of buffers a second, nearly all of a handful
// of classes. So what the casts find for a buffer's class (whether it is a sample,
// where its sample part lies, which reader it takes) is kept for the last few
// classes this thread met, and a buffer of exactly such a class is read without a
// cast. A class is known by its type record and its name both: a library that was
// unloaded may leave its record's address to another library's class.
Sample sampleOf(const conduit::interfaces::IDataBuffer* buffer) {
    constexpr std::size_t NAME_ROOM = 96; // classes with longer names are not kept
    struct Known {
        const std::type_info* type = nullptr;
        std::array<char, NAME_ROOM> name{};
        bool isSample = false;
        std::ptrdiff_t sampleOffset = 0; // from the buffer interface to the sample part
        SampleClass sampleClass = SampleClass::Other;
    };
    thread_local std::array<Known, 8> known{};
    thread_local std::size_t nextToReplace = 0;

    const auto* bytes = reinterpret_cast<const char*>(buffer);
    const std::type_info* type = &typeid(*buffer);
    const char* name = type->name();
    for (const Known& entry : known) {
        if (entry.type != type || std::strcmp(entry.name.data(), name) != 0)
            continue;
        if (!entry.isSample)
            return {};
        return {reinterpret_cast<const MobileSensorDataBuffer*>(bytes + entry.sampleOffset),
                entry.sampleClass};
    }
    Sample found;
    found.buffer = dynamic_cast<const MobileSensorDataBuffer*>(buffer);
    if (found.buffer != nullptr)
        found.sampleClass = classOf(*found.buffer);
    const std::size_t nameLength = std::strlen(name);
    if (nameLength >= NAME_ROOM)
        return found;
    Known& entry = known[nextToReplace];
    nextToReplace = (nextToReplace + 1) % known.size();
    entry.type = type;
    std::memcpy(entry.name.data(), name, nameLength + 1);
    entry.isSample = found.buffer != nullptr;
    entry.sampleOffset =
        found.buffer != nullptr ? reinterpret_cast<const char*>(found.buffer) - bytes : 0;
    entry.sampleClass = found.sampleClass;
    return found;
}

Reading readSample(const Sample& found) {
    using namespace mobilesensor;
    const MobileSensorDataBuffer& sample = *found.buffer;
    Reading reading;
    // Course and vertical accuracy are reported by the binary-record app only.
    const bool fullFix = sample.getApp() == MobileSensorDataBuffer::KINESCOPE_APP;

    switch (found.sampleClass) {
    case SampleClass::Accelerometer: {
        double x = 0.0, y = 0.0, z = 0.0;
        static_cast<const AccelerometerDataBuffer&>(sample).getData(x, y, z);
        reading.measurement = ACCELEROMETER;
        reading.set("X", x);
        reading.set("Y", y);
        reading.set("Z", z);
        break;
    }
    case SampleClass::Gyroscope: {
        double x = 0.0, y = 0.0, z = 0.0;
        static_cast<const GyroscopeDataBuffer&>(sample).getData(x, y, z);
        reading.measurement = GYROSCOPE;
        reading.set("X", x);
        reading.set("Y", y);
        reading.set("Z", z);
        break;
    }
    case SampleClass::HorizontalLocation: {
        HorizontalLocationDataBuffer::Location location{};
        static_cast<const HorizontalLocationDataBuffer&>(sample).getData(location);
        reading.measurement = HORIZONTAL_LOCATION;
        reading.set("Latitude", location.latitude);
        reading.set("Longitude", location.longitude);
        reading.set("HorizontalAccuracy", location.horizontalAccuracy);
        if (fullFix)
            reading.set("Course", location.course);
        reading.set("Speed", location.speed);
        break;
    }
    case SampleClass::VerticalLocation: {
        VerticalLocationDataBuffer::Location location{};
        static_cast<const VerticalLocationDataBuffer&>(sample).getData(location);
        reading.measurement = VERTICAL_LOCATION;
        reading.set("Altitude", location.altitude);
        if (fullFix)
            reading.set("VerticalAccuracy", location.verticalAccuracy);
        break;
    }
    case SampleClass::Magnetometer: {
        MagnetometerDataBuffer::Magnetometer field{};
        static_cast<const MagnetometerDataBuffer&>(sample).getData(field);
        reading.measurement = MAGNETOMETER;
        reading.set("X", field.x);
        reading.set("Y", field.y);
        reading.set("Z", field.z);
        break;
    }
    case SampleClass::Heading: {
        HeadingDataBuffer::Heading value{};
        static_cast<const HeadingDataBuffer&>(sample).getData(value);
        reading.measurement = HEADING;
        reading.set("TrueHeading", value.trueHeading);
        reading.set("MagneticHeading", value.magneticHeading);
        reading.set("HeadingAccuracy", value.headingAccuracy);
        break;
    }
    case SampleClass::Orientation: {
        double azimuth = 0.0, pitch = 0.0, roll = 0.0;
        static_cast<const OrientationDataBuffer&>(sample).getData(azimuth, pitch, roll);
        reading.measurement = ORIENTATION;
        reading.set("Azimuth", azimuth);
        reading.set("Pitch", pitch);
        reading.set("Roll", roll);
        break;
    }
    case SampleClass::Other:
        break;
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
    if (buffer == nullptr)
        return nullptr;
    const Sample found = sampleOf(buffer);
    const MobileSensorDataBuffer* sample = found.buffer;
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

    const Reading reading = readSample(found);
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
