#include "sample_structures.h"
#include "tools/sensorstream/record_format.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

using namespace sensorstream;
using sensorstream::testing::MARCH_2_2014;
using sensorstream::testing::sampleRecord;
using sensorstream::testing::sampleStructure;

TEST(SampleRecord, ReadsEveryFieldWithWhatIsSet) {
    const auto structure = sampleStructure(1, MARCH_2_2014, {{"X", 0.5}, {"Y", -9.81}, {"Z", 0}});
    const auto record = readSampleRecord(structure.get());
    ASSERT_TRUE(record);
    EXPECT_EQ(1, record->measurement);
    EXPECT_EQ(MARCH_2_2014, record->timestamp);
    for (std::size_t i = 0; i < FIELD_COUNT; ++i) {
        const std::string name = SAMPLE_FIELD_NAMES[i];
        EXPECT_EQ(i, fieldIndex(name));
        const bool set = name == "Timestamp" || name == "Measurement" || name == "X" ||
                         name == "Y" || name == "Z";
        EXPECT_EQ(set, record->isSet(i)) << name;
    }
    EXPECT_EQ(1.0, record->value("Measurement"));
    EXPECT_EQ(-9.81, record->value("Y"));
    EXPECT_FALSE(record->value("Latitude")) << "unset";
    EXPECT_FALSE(record->value("Speedometer")) << "no such field";
    EXPECT_EQ(FIELD_COUNT, fieldIndex("Speedometer"));
}

// The reader finds the fields' places in the first structure and reads later ones
// by number: a structure of another layout must make it look again, and one reader
// must give each structure its own values, nothing left over from the one before.
TEST(SampleRecord, OneReaderReadsStructuresOfEveryLayoutRight) {
    SampleReader reader;
    SampleRecord record;
    ASSERT_TRUE(reader.read(sampleStructure(1, MARCH_2_2014, {{"X", 1}, {"Y", 2}}).get(), record));
    EXPECT_EQ(2.0, record.value("Y"));
    ASSERT_TRUE(reader.read(sampleStructure(7, MARCH_2_2014, {{"Altitude", 410}}).get(), record));
    EXPECT_EQ(7, record.measurement);
    EXPECT_EQ(410.0, record.value("Altitude"));
    EXPECT_FALSE(record.value("Y")) << "the previous reading's field";

    // Fewer fields, in another order, of other classes: found by name again.
    const char* names[] = {"Y", "Measurement", "Timestamp"};
    kxtools::HostArray shuffled(tvCreateStructMatrix(1, 1, 3, names));
    tvArray* code = tvCreateNumericMatrix(1, 1, tvUINT8_CLASS, tvREAL);
    *static_cast<std::uint8_t*>(tvGetData(code)) = 2;
    tvSetField(shuffled.get(), 0, "Measurement", code);
    tvSetField(shuffled.get(), 0, "Y", tvCreateDoubleScalar(-3.5));
    ASSERT_TRUE(reader.read(shuffled.get(), record));
    EXPECT_EQ(2, record.measurement);
    EXPECT_EQ(-3.5, record.value("Y"));
    EXPECT_FALSE(record.isSet(TIMESTAMP_FIELD));
    EXPECT_EQ((std::array<double, 6>{}), record.timestamp) << "no time: all parts 0";

    // A time stamp that is not six numbers is none.
    auto shortTime = sampleStructure(1, MARCH_2_2014, {});
    tvSetField(shortTime.get(), 0, "Timestamp", tvCreateDoubleScalar(2014));
    ASSERT_TRUE(reader.read(shortTime.get(), record));
    EXPECT_FALSE(record.isSet(TIMESTAMP_FIELD));
    EXPECT_EQ((std::array<double, 6>{}), record.timestamp);
}

TEST(SampleRecord, RefusesWhatIsNoSampleStructure) {
    EXPECT_FALSE(readSampleRecord(nullptr));
    kxtools::HostArray number(tvCreateDoubleScalar(1));
    EXPECT_FALSE(readSampleRecord(number.get()));
    const char* names[] = {"Timestamp", "X"};
    kxtools::HostArray noMeasurement(tvCreateStructMatrix(1, 1, 2, names));
    EXPECT_FALSE(readSampleRecord(noMeasurement.get()));
    const char* measurementOnly[] = {"Measurement"};
    kxtools::HostArray twoByOne(tvCreateStructMatrix(2, 1, 1, measurementOnly));
    EXPECT_FALSE(readSampleRecord(twoByOne.get()));
}

TEST(SampleRecord, NamesMeasurementsAndTimes) {
    const char* names[] = {"other",       "acceleration",        "rotation rate",
                           "heading",     "horizontal location", "magnetic field",
                           "orientation", "vertical location"};
    for (std::int32_t m = 0; m <= MAX_MEASUREMENT; ++m)
        EXPECT_EQ(names[m], measurementName(m));
    EXPECT_EQ("other", measurementName(8));
    EXPECT_EQ("other", measurementName(-1));
    EXPECT_EQ("gyro", measurementShortName(2));

    EXPECT_EQ("2014-03-02T10:15:30.250", timestampText(MARCH_2_2014));
    EXPECT_EQ("10:15:30.250", timeOfDayText(MARCH_2_2014));
    EXPECT_EQ("2024-12-31T23:59:59.999", timestampText({2024, 12, 31, 23, 59, 59.9994}));
    EXPECT_EQ("2024-01-01T00:00:05.001", timestampText({2024, 1, 1, 0, 0, 5.001}));
    EXPECT_EQ("", timestampText({2024, 13, 1, 0, 0, 0}));
    EXPECT_EQ("", timestampText({2024, 1, 1, 0, 0, std::numeric_limits<double>::quiet_NaN()}));
    EXPECT_EQ("--:--:--.---", timeOfDayText({0, 0, 0, 0, 0, 0}));
}

// A record of a phone; the name is a literal, which outlives the record.
SampleRecord ofPhone(const char* phone, SampleRecord record) {
    record.phone = phone;
    return record;
}

TEST(RecordFormat, JsonLineHasThePhoneAndEveryFieldNullWhenUnset) {
    auto record =
        ofPhone("left", sampleRecord(1, MARCH_2_2014, {{"X", 0.5}, {"Y", -9.81}, {"Z", 0}}));
    record.monotonic = 15388.8487914;
    // The arrival on the monotonic clock, to the microsecond, before the fields.
    EXPECT_EQ("{\"Phone\":\"left\",\"Monotonic\":15388.848791,"
              "\"Timestamp\":[2014,3,2,10,15,30.25],\"Measurement\":1,"
              "\"Latitude\":null,"
              "\"Longitude\":null,\"Altitude\":null,\"HorizontalAccuracy\":null,"
              "\"VerticalAccuracy\":null,\"Course\":null,\"Speed\":null,\"TrueHeading\":null,"
              "\"MagneticHeading\":null,\"HeadingAccuracy\":null,\"X\":0.5,\"Y\":-9.81,\"Z\":0,"
              "\"Azimuth\":null,\"Pitch\":null,\"Roll\":null}\n",
              jsonLine(record));
}

TEST(RecordFormat, MonotonicIsWrittenToTheMicrosecondAsPrintfRoundsIt) {
    // Halves of the last digit that are exact in binary, ones just beside them, and
    // clocks of a day and of thirty years.
    for (const double seconds : {0.0, 1e-7, 5e-7, 2.5e-6, 0.0000015, 0.1234565, 0.5, 86400.5,
                                 15388.8487914, 123456.9999995, 946080000.0000005, 1e15 + 0.125}) {
        auto record = ofPhone("p", sampleRecord(1, MARCH_2_2014, {{"X", 1}}));
        record.monotonic = seconds;
        char printed[64];
        std::snprintf(printed, sizeof printed, "%.6f", seconds);
        const std::string json = jsonLine(record);
        EXPECT_NE(std::string::npos, json.find(std::string("\"Monotonic\":") + printed + ","))
            << json;
        EXPECT_EQ(0u, csvLine(record).find(std::string("p,") + printed + ",")) << csvLine(record);
    }
}

TEST(RecordFormat, MonotonicOfAnyClockReadingMatchesPrintf) {
    // Microsecond counts up to beyond 2^45 (a year of uptime is 2^45 microseconds),
    // each as written exactly, as the half between two microseconds and just beside
    // it, and at random places between.
    std::mt19937_64 random(20261209);
    std::uniform_int_distribution<std::uint64_t> microseconds(0, std::uint64_t{1} << 46);
    std::uniform_real_distribution<double> anywhere(0.0, 1.0);
    auto record = ofPhone("p", sampleRecord(1, MARCH_2_2014, {{"X", 1}}));
    for (int i = 0; i < 20000; ++i) {
        const auto count = static_cast<double>(microseconds(random) >> (i % 40));
        for (const double offset : {0.0, 0.5, 0.5 - 1e-9, 0.5 + 1e-9, 0.4999, anywhere(random)}) {
            const double seconds = (count + offset) / 1e6;
            record.monotonic = seconds;
            char printed[64];
            std::snprintf(printed, sizeof printed, "\"Monotonic\":%.6f,", seconds);
            const std::string json = jsonLine(record);
            ASSERT_NE(std::string::npos, json.find(printed)) << json;
        }
    }
}

TEST(RecordFormat, NumbersReadBackExactlyAndSpecialValuesStayValidJson) {
    const double inf = std::numeric_limits<double>::infinity();
    const auto record =
        sampleRecord(4, MARCH_2_2014,
                     {{"Latitude", 47.3772431},
                      {"Longitude", 0.1 + 0.2},
                      {"Speed", 1e-7},
                      {"HorizontalAccuracy", std::numeric_limits<double>::quiet_NaN()},
                      {"Course", inf},
                      {"Altitude", -inf}});
    const std::string line = jsonLine(record);
    for (const char* part :
         {"\"Latitude\":47.3772431,", "\"Longitude\":0.30000000000000004,", "\"Speed\":1e-07,",
          "\"HorizontalAccuracy\":\"NaN\",", "\"Course\":\"Inf\",", "\"Altitude\":\"-Inf\","})
        EXPECT_NE(std::string::npos, line.find(part)) << part << " in " << line;

    EXPECT_EQ(",0.000000,2014-03-02T10:15:30.250,4,47.3772431,0.30000000000000004,"
              "-Inf,NaN,,Inf,1e-07,,,,,"
              ",,,,\n",
              csvLine(record));
}

TEST(RecordFormat, CsvHasThePhoneAndOneColumnPerFieldEmptyWhenUnset) {
    EXPECT_EQ(
        "Phone,Monotonic,Timestamp,Measurement,Latitude,Longitude,Altitude,HorizontalAccuracy,"
        "VerticalAccuracy,Course,Speed,TrueHeading,MagneticHeading,HeadingAccuracy,X,Y,Z,"
        "Azimuth,Pitch,Roll\n",
        csvHeader());
    EXPECT_EQ("left,0.000000,2014-03-02T10:15:30.250,6,,,,,,,,,,,,,,308.75,25.83,-0.35\n",
              csvLine(ofPhone(
                  "left", sampleRecord(6, MARCH_2_2014,
                                       {{"Azimuth", 308.75}, {"Pitch", 25.83}, {"Roll", -0.35}}))));
    // A time stamp that is no date is written as its six numbers.
    EXPECT_EQ("p,0.000000,0 0 0 0 0 0,0,,,,,,,,,,,,,,,,\n",
              csvLine(ofPhone("p", sampleRecord(0, {0, 0, 0, 0, 0, 0}, {}))));
}

TEST(RecordFormat, TableShowsThePhoneAndTheSetFieldsReadably) {
    EXPECT_EQ("phone  time          measurement          values\n", tableHeader());
    EXPECT_EQ("left   10:15:30.250  acceleration         X 0.5  Y -9.81  Z 0\n",
              tableLine(ofPhone(
                  "left", sampleRecord(1, MARCH_2_2014, {{"X", 0.5}, {"Y", -9.81}, {"Z", 0}}))));
    EXPECT_EQ(
        "phone  10:15:30.250  vertical location    Altitude 410.0812\n",
        tableLine(ofPhone("phone", sampleRecord(7, MARCH_2_2014, {{"Altitude", 410.08123456}}))));
    // The phone's column is as wide as the run's longest name.
    const TableFormat wide(9);
    EXPECT_EQ("phone      time          measurement          values\n", wide.header());
    std::string line;
    wide.append(ofPhone("left", sampleRecord(7, MARCH_2_2014, {{"Altitude", 1}})), line);
    EXPECT_EQ("left       10:15:30.250  vertical location    Altitude 1\n", line);
    EXPECT_EQ("1.234568e-05", readableNumber(1.23456789e-5));
}

TEST(RecordFormat, MadeByFormatName) {
    const auto record =
        ofPhone("desk", sampleRecord(2, MARCH_2_2014, {{"X", 1}, {"Y", 2}, {"Z", 3}}));
    const struct {
        Format format;
        std::string header;
        std::string line;
    } cases[] = {{Format::Json, "", jsonLine(record)},
                 {Format::Csv, csvHeader(), csvLine(record)},
                 {Format::Table, tableHeader(), tableLine(record)}};
    for (const auto& c : cases) {
        const auto format = makeRecordFormat(c.format);
        EXPECT_EQ(c.header, format->header());
        std::string out = "before\n";
        format->append(record, out);
        EXPECT_EQ("before\n" + c.line, out);
    }
}

} // namespace
