// Sample buffers built by kinelink, converted by the loaded plug-in, read back as
// host structures.

#include "converter_fixture.h"
#include "host/contract/failures.h"
#include "mobilesensor/sample_buffers.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace mobilesensor;
using namespace kineconvert::testing;
using App = MobileSensorDataBuffer::App;
using BufferPtr = std::unique_ptr<conduit::interfaces::IDataBuffer, conduit::kit::Releaser>;
using Fields = std::map<std::string, double>;

const std::vector<std::string> FIELD_ORDER = {"Timestamp",
                                              "Measurement",
                                              "Latitude",
                                              "Longitude",
                                              "Altitude",
                                              "HorizontalAccuracy",
                                              "VerticalAccuracy",
                                              "Course",
                                              "Speed",
                                              "TrueHeading",
                                              "MagneticHeading",
                                              "HeadingAccuracy",
                                              "X",
                                              "Y",
                                              "Z",
                                              "Azimuth",
                                              "Pitch",
                                              "Roll"};

// One sensor kind: how to build its buffer and what the structure must carry.
struct SensorCase {
    const char* name;
    std::int32_t measurement;
    std::function<MobileSensorDataBuffer*(App)> make;
    Fields fromKinescope; // the binary-record app
    Fields fromKinedgram; // the text-datagram app
};

const std::vector<SensorCase>& sensorCases() {
    static const std::vector<SensorCase> cases = {
        {"accelerometer",
         1,
         [](App app) { return new AccelerometerDataBuffer(app, 0.5, -9.81, 1e-300); },
         {{"X", 0.5}, {"Y", -9.81}, {"Z", 1e-300}},
         {{"X", 0.5}, {"Y", -9.81}, {"Z", 1e-300}}},
        {"gyroscope",
         2,
         [](App app) { return new GyroscopeDataBuffer(app, -1.25, 0.0, 3.5); },
         {{"X", -1.25}, {"Y", 0.0}, {"Z", 3.5}},
         {{"X", -1.25}, {"Y", 0.0}, {"Z", 3.5}}},
        {"heading",
         3,
         [](App app) {
             return new HeadingDataBuffer(app, {271.5, 268.25, 5.0});
         },
         {{"TrueHeading", 271.5}, {"MagneticHeading", 268.25}, {"HeadingAccuracy", 5.0}},
         {{"TrueHeading", 271.5}, {"MagneticHeading", 268.25}, {"HeadingAccuracy", 5.0}}},
        {"horizontal location",
         4,
         [](App app) {
             return new HorizontalLocationDataBuffer(app, {47.37, 8.54, 12.0, 93.5, 1.75});
         },
         {{"Latitude", 47.37},
          {"Longitude", 8.54},
          {"HorizontalAccuracy", 12.0},
          {"Course", 93.5},
          {"Speed", 1.75}},
         {{"Latitude", 47.37}, {"Longitude", 8.54}, {"HorizontalAccuracy", 12.0}, {"Speed", 1.75}}},
        {"magnetometer",
         5,
         [](App app) {
             return new MagnetometerDataBuffer(app, {-20.5, 4.0, -41.0});
         },
         {{"X", -20.5}, {"Y", 4.0}, {"Z", -41.0}},
         {{"X", -20.5}, {"Y", 4.0}, {"Z", -41.0}}},
        {"orientation",
         6,
         [](App app) { return new OrientationDataBuffer(app, 180.0, -45.5, 2.25); },
         {{"Azimuth", 180.0}, {"Pitch", -45.5}, {"Roll", 2.25}},
         {{"Azimuth", 180.0}, {"Pitch", -45.5}, {"Roll", 2.25}}},
        {"vertical location",
         7,
         [](App app) {
             return new VerticalLocationDataBuffer(app, {408.5, 3.0});
         },
         {{"Altitude", 408.5}, {"VerticalAccuracy", 3.0}},
         {{"Altitude", 408.5}}},
        {"location",
         0,
         [](App app) {
             return new LocationDataBuffer(app, {47.37, 8.54, 408.5, 12, 3, 93.5, 1.75});
         },
         {},
         {}},
        {"bare sample buffer", 0, [](App app) { return new MobileSensorDataBuffer(app); }, {}, {}},
    };
    return cases;
}

// A sample buffer that claims to hold no sample.
class EmptyAccelerometerBuffer : public AccelerometerDataBuffer {
public:
    EmptyAccelerometerBuffer() : AccelerometerDataBuffer(KINESCOPE_APP, 1.0, 2.0, 3.0) {}
    std::size_t getCount() const override { return 0; }
};

// A buffer of another family: not a sensor sample.
class ForeignBuffer : public conduit::interfaces::IDataBuffer {
public:
    std::size_t getCount() const override { return 1; }
    void destroy() override { delete this; }
};

// A sample buffer whose count cannot be read: asking throws what raise throws.
class FailingSampleBuffer : public MobileSensorDataBuffer {
public:
    explicit FailingSampleBuffer(std::function<void()> raiseFailure)
        : MobileSensorDataBuffer(KINESCOPE_APP), raise(std::move(raiseFailure)) {}
    std::size_t getCount() const override {
        raise();
        return 1;
    }

private:
    std::function<void()> raise;
};

// A buffer class derived from a sensor's class is read as that sensor.
class TaggedGyroscopeBuffer : public GyroscopeDataBuffer {
public:
    TaggedGyroscopeBuffer() : GyroscopeDataBuffer(KINEDGRAM_APP, 1.0, 2.0, 3.0) {}
};

// A heading buffer that is also something else, named first: its buffer interface
// lies past the other base.
struct Label {
    virtual ~Label() = default;
    const char* text = "compass";
};
class LabelledHeadingBuffer : public Label, public HeadingDataBuffer {
public:
    LabelledHeadingBuffer() : HeadingDataBuffer(KINESCOPE_APP, {7.5, 6.5, 2.5}) {}
};

double scalarDouble(const tvArray* value) {
    EXPECT_EQ(tvDOUBLE_CLASS, tvGetClassID(value));
    EXPECT_EQ((std::vector<std::size_t>{1, 1}), shapeOf(value));
    return elementsOf<double>(value).at(0);
}

class SampleStructure : public ConverterTest {
protected:
    Array convert(MobileSensorDataBuffer* made) {
        BufferPtr buffer(made);
        return Array(converter->convertDataBuffer(buffer.get()));
    }
};

TEST_F(SampleStructure, EverySensorGivesItsMeasurementAndOnlyItsFields) {
    // Twice over every class: the converter keeps what it found about the classes it
    // met last, and the second round reads them by what it kept (more classes than
    // it keeps, so some are found anew).
    for (int round = 1; round <= 2; ++round) {
        for (const SensorCase& sensor : sensorCases()) {
            for (const App app :
                 {MobileSensorDataBuffer::KINESCOPE_APP, MobileSensorDataBuffer::KINEDGRAM_APP}) {
                SCOPED_TRACE(std::string(sensor.name) +
                             (app == 0 ? " from kinescope" : " from kinedgram") + ", round " +
                             std::to_string(round));
                const Fields& expected = app == 0 ? sensor.fromKinescope : sensor.fromKinedgram;
                Array structure = convert(sensor.make(app));
                ASSERT_NE(nullptr, structure);
                // A 1-by-1 structure with the same 18 fields in the same order, whatever the
                // sensor.
                EXPECT_EQ(tvSTRUCT_CLASS, tvGetClassID(structure.get()));
                EXPECT_EQ((std::vector<std::size_t>{1, 1}), shapeOf(structure.get()));
                ASSERT_EQ(18, tvGetNumberOfFields(structure.get()));
                for (int f = 0; f < 18; ++f)
                    EXPECT_EQ(FIELD_ORDER[static_cast<std::size_t>(f)],
                              tvGetFieldNameByNumber(structure.get(), f));

                const tvArray* measurement = tvGetField(structure.get(), 0, "Measurement");
                ASSERT_NE(nullptr, measurement);
                EXPECT_EQ(tvINT32_CLASS, tvGetClassID(measurement));
                EXPECT_EQ((std::vector<std::size_t>{1, 1}), shapeOf(measurement));
                EXPECT_EQ(std::vector<std::int32_t>{sensor.measurement},
                          elementsOf<std::int32_t>(measurement));
                EXPECT_NE(nullptr, tvGetField(structure.get(), 0, "Timestamp"));

                // Data fields: exactly the sensor's, each a 1-by-1 double; the rest unset.
                for (std::size_t f = 2; f < FIELD_ORDER.size(); ++f) {
                    const std::string& name = FIELD_ORDER[f];
                    const tvArray* value = tvGetField(structure.get(), 0, name.c_str());
                    const auto wanted = expected.find(name);
                    if (wanted == expected.end()) {
                        EXPECT_EQ(nullptr, value) << name << " is set";
                    } else {
                        ASSERT_NE(nullptr, value) << name << " is unset";
                        EXPECT_EQ(wanted->second, scalarDouble(value)) << name;
                    }
                }
            }
        }
    }
}

TEST_F(SampleStructure, TimestampIsTheBufferCreationTimeAsARow) {
    // A buffer stamped at a fraction of a second (the clock shows a whole second one
    // time in a thousand), so that the milliseconds are seen to arrive.
    BufferPtr buffer;
    MobileSensorDataBuffer::TimeStamp time{};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
        buffer.reset(new GyroscopeDataBuffer(MobileSensorDataBuffer::KINEDGRAM_APP, 1, 2, 3));
        time = static_cast<const MobileSensorDataBuffer*>(buffer.get())->getTimestamp();
    } while (time.second == std::floor(time.second) && std::chrono::steady_clock::now() < deadline);
    ASSERT_NE(std::floor(time.second), time.second);

    Array structure(converter->convertDataBuffer(buffer.get()));
    ASSERT_NE(nullptr, structure);
    const tvArray* timestamp = tvGetField(structure.get(), 0, "Timestamp");
    ASSERT_NE(nullptr, timestamp);
    EXPECT_EQ(tvDOUBLE_CLASS, tvGetClassID(timestamp));
    EXPECT_EQ((std::vector<std::size_t>{1, 6}), shapeOf(timestamp));
    EXPECT_EQ(
        (std::vector<double>{time.year, time.month, time.day, time.hour, time.minute, time.second}),
        elementsOf<double>(timestamp));
}

TEST_F(SampleStructure, ExtremeValuesArriveUnchanged) {
    const double inf = std::numeric_limits<double>::infinity();
    const double smallest = std::numeric_limits<double>::denorm_min();
    Array structure = convert(
        new AccelerometerDataBuffer(MobileSensorDataBuffer::KINESCOPE_APP, inf, -0.0, smallest));
    ASSERT_NE(nullptr, structure);
    EXPECT_EQ(inf, scalarDouble(tvGetField(structure.get(), 0, "X")));
    EXPECT_TRUE(std::signbit(scalarDouble(tvGetField(structure.get(), 0, "Y"))));
    EXPECT_EQ(smallest, scalarDouble(tvGetField(structure.get(), 0, "Z")));

    Array nan = convert(new OrientationDataBuffer(MobileSensorDataBuffer::KINEDGRAM_APP,
                                                  std::numeric_limits<double>::quiet_NaN(), 0, 0));
    ASSERT_NE(nullptr, nan);
    EXPECT_TRUE(std::isnan(scalarDouble(tvGetField(nan.get(), 0, "Azimuth"))));
}

TEST_F(SampleStructure, DerivedSensorClassIsReadAsItsSensor) {
    for (int round = 1; round <= 2; ++round) {
        Array structure = convert(new TaggedGyroscopeBuffer());
        ASSERT_NE(nullptr, structure);
        EXPECT_EQ(std::vector<std::int32_t>{2},
                  elementsOf<std::int32_t>(tvGetField(structure.get(), 0, "Measurement")));
    }
}

TEST_F(SampleStructure, SensorPartAfterAnotherBaseIsFoundEveryTime) {
    // The buffer interface does not start the object: its place differs from the
    // object's, and the sample part must be found from the interface each time.
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        auto* made = new LabelledHeadingBuffer();
        BufferPtr buffer(made);
        const conduit::interfaces::IDataBuffer* asBuffer = made;
        EXPECT_NE(static_cast<const void*>(made), static_cast<const void*>(asBuffer));
        Array structure(converter->convertDataBuffer(buffer.get()));
        ASSERT_NE(nullptr, structure);
        EXPECT_EQ(std::vector<std::int32_t>{3},
                  elementsOf<std::int32_t>(tvGetField(structure.get(), 0, "Measurement")));
        EXPECT_EQ(7.5, scalarDouble(tvGetField(structure.get(), 0, "TrueHeading")));
        EXPECT_EQ(2.5, scalarDouble(tvGetField(structure.get(), 0, "HeadingAccuracy")));
    }
}

TEST_F(SampleStructure, BuffersWithoutASampleGiveNull) {
    // No sample in the buffer: null, not an empty structure.
    BufferPtr empty(new EmptyAccelerometerBuffer());
    EXPECT_EQ(nullptr, converter->convertDataBuffer(empty.get()));
    // Not a sensor sample buffer at all, however often it comes.
    BufferPtr foreign(new ForeignBuffer());
    EXPECT_EQ(nullptr, converter->convertDataBuffer(foreign.get()));
    EXPECT_EQ(nullptr, converter->convertDataBuffer(foreign.get()));
    EXPECT_EQ(nullptr, converter->convertDataBuffer(nullptr));
}

TEST_F(SampleStructure, FailureInsideTheBufferGivesNullNotAnException) {
    for (const auto& failure : korvex::host::contract::everyKindOfFailure()) {
        SCOPED_TRACE(failure.label);
        BufferPtr failing(new FailingSampleBuffer(failure.raise));
        tvArray* result = nullptr;
        EXPECT_NO_THROW(result = converter->convertDataBuffer(failing.get()));
        EXPECT_EQ(nullptr, result);
    }
    // The converter holds no state: the next conversion works.
    EXPECT_NE(nullptr, convert(new MobileSensorDataBuffer(MobileSensorDataBuffer::KINESCOPE_APP)));
}

TEST_F(SampleStructure, TheBufferStaysTheCallers) {
    BufferPtr buffer(new HeadingDataBuffer(MobileSensorDataBuffer::KINESCOPE_APP, {1, 2, 3}));
    Array first(converter->convertDataBuffer(buffer.get()));
    Array second(converter->convertDataBuffer(buffer.get()));
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(2.0, scalarDouble(tvGetField(second.get(), 0, "MagneticHeading")));
}

} // namespace
