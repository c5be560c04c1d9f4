#include "host/plugin_loader.h"
#include "mobilesensor/sample_buffers.h"
#include "tools/common/host_value.h"
#include "tools/common/sample_reader.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

// Readings read from the structures the loaded converter makes, as the host reads
// them: every field lands in its place, and only the sensor's fields are set.

namespace {

using kxtools::HostArray;
using kxtools::SampleRecord;
using mobilesensor::MobileSensorDataBuffer;

class SampleReaderTest : public ::testing::Test {
protected:
    SampleRecord recordOf(const conduit::interfaces::IDataBuffer& buffer) {
        HostArray structure(
            converter->convertDataBuffer(const_cast<conduit::interfaces::IDataBuffer*>(&buffer)));
        SampleRecord record;
        EXPECT_TRUE(reader.read(structure.get(), record));
        return record;
    }
    // The data field of that converter name; NaN when unset.
    static double field(const SampleRecord& record, const std::string& name) {
        EXPECT_NE(kxtools::FIELD_COUNT, kxtools::fieldIndex(name)) << "no field " << name;
        return record.value(name).value_or(std::nan(""));
    }
    static std::size_t setDataFields(const SampleRecord& record) {
        return record.set.count() - (record.isSet(kxtools::TIMESTAMP_FIELD) ? 1 : 0) -
               (record.isSet(kxtools::MEASUREMENT_FIELD) ? 1 : 0);
    }

    // One reader for every structure, as a host reads a stream.
    kxtools::SampleReader reader;
    korvex::host::PluginLibrary library{korvex::host::pluginPath("kineconvert")};
    korvex::host::ConverterPtr converter = library.createConverter();
};

TEST_F(SampleReaderTest, MotionFieldsLandInTheirPlacesAndNothingElseIsSet) {
    std::unique_ptr<mobilesensor::GyroscopeDataBuffer, conduit::kit::Releaser> gyro(
        new mobilesensor::GyroscopeDataBuffer(MobileSensorDataBuffer::KINESCOPE_APP, 0.5, -1.25,
                                              3e-9));
    const SampleRecord row = recordOf(*gyro);
    EXPECT_EQ(2, row.measurement);
    EXPECT_EQ(0.5, field(row, "X"));
    EXPECT_EQ(-1.25, field(row, "Y"));
    EXPECT_EQ(3e-9, field(row, "Z"));
    EXPECT_EQ(3u, setDataFields(row));
    const auto stamp = gyro->getTimestamp();
    EXPECT_EQ(stamp.year, row.timestamp[0]);
    EXPECT_EQ(stamp.second, row.timestamp[5]);
}

TEST_F(SampleReaderTest, TheTextAppHasNoCourseAndNoVerticalAccuracy) {
    const mobilesensor::HorizontalLocationDataBuffer::Location where{48.1, 11.5, 5, 270, 1.4};
    for (const auto app :
         {MobileSensorDataBuffer::KINESCOPE_APP, MobileSensorDataBuffer::KINEDGRAM_APP}) {
        std::unique_ptr<mobilesensor::HorizontalLocationDataBuffer, conduit::kit::Releaser> fix(
            new mobilesensor::HorizontalLocationDataBuffer(app, where));
        const SampleRecord row = recordOf(*fix);
        EXPECT_EQ(4, row.measurement);
        EXPECT_EQ(48.1, field(row, "Latitude"));
        EXPECT_EQ(1.4, field(row, "Speed"));
        if (app == MobileSensorDataBuffer::KINESCOPE_APP)
            EXPECT_EQ(270, field(row, "Course"));
        else
            EXPECT_TRUE(std::isnan(field(row, "Course")));
    }
}

TEST(SampleTime, CalendarTimeCountsMillisecondsFrom1970) {
    EXPECT_EQ(0, kxtools::calendarMilliseconds({1970, 1, 1, 0, 0, 0}));
    // 2014-03-02 10:15:30.250, worked out by hand: 16131 days after 1970-01-01.
    EXPECT_EQ(((16131LL * 24 + 10) * 60 + 15) * 60000 + 30250,
              kxtools::calendarMilliseconds({2014, 3, 2, 10, 15, 30.25}));
    // A leap day, and seconds whose decimal fraction a double does not hold exactly.
    EXPECT_EQ(951782400000LL + 59123, kxtools::calendarMilliseconds({2000, 2, 29, 0, 0, 59.123}));
    EXPECT_TRUE(kxtools::validTimestamp({2024, 12, 31, 23, 59, 59.999}));
    EXPECT_FALSE(kxtools::validTimestamp({2024, 13, 1, 0, 0, 0}));
    EXPECT_FALSE(kxtools::validTimestamp({2024, 1, 1, 0, 0, std::nan("")}));
}

} // namespace
