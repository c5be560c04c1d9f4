#include "mobilesensor/local_time.h"
#include "mobilesensor/sample_buffers.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace mobilesensor;
using conduit::interfaces::IDataBuffer;
using App = MobileSensorDataBuffer::App;

// Stands in for the platform clock while alive.
class ScriptedClock {
public:
    explicit ScriptedClock(const LocalTime& time) {
        now() = time;
        previous_ = setLocalTimeSource([] { return now(); });
    }
    ~ScriptedClock() { setLocalTimeSource(previous_); }
    ScriptedClock(const ScriptedClock&) = delete;
    ScriptedClock& operator=(const ScriptedClock&) = delete;

private:
    static LocalTime& now() {
        static LocalTime time{};
        return time;
    }
    LocalTimeSource previous_;
};

// Every buffer class, built with the given app and throwaway values.
struct Kind {
    const char* name;
    std::function<MobileSensorDataBuffer*(App)> make;
};

const std::vector<Kind>& everyKind() {
    static const std::vector<Kind> kinds = {
        {"base", [](App app) { return new MobileSensorDataBuffer(app); }},
        {"accelerometer", [](App app) { return new AccelerometerDataBuffer(app, 1, 2, 3); }},
        {"gyroscope", [](App app) { return new GyroscopeDataBuffer(app, 1, 2, 3); }},
        {"orientation", [](App app) { return new OrientationDataBuffer(app, 1, 2, 3); }},
        {"heading",
         [](App app) {
             return new HeadingDataBuffer(app, {1, 2, 3});
         }},
        {"magnetometer",
         [](App app) {
             return new MagnetometerDataBuffer(app, {1, 2, 3});
         }},
        {"horizontal location",
         [](App app) {
             return new HorizontalLocationDataBuffer(app, {1, 2, 3, 4, 5});
         }},
        {"vertical location",
         [](App app) {
             return new VerticalLocationDataBuffer(app, {1, 2});
         }},
        {"location",
         [](App app) {
             return new LocationDataBuffer(app, {1, 2, 3, 4, 5, 6, 7});
         }},
    };
    return kinds;
}

using BufferPtr = std::unique_ptr<IDataBuffer, void (*)(IDataBuffer*)>;
BufferPtr hold(IDataBuffer* buffer) {
    return BufferPtr(buffer, [](IDataBuffer* b) { b->destroy(); });
}

using Stamp = std::tuple<double, double, double, double, double, double>;
Stamp stampOf(const MobileSensorDataBuffer::TimeStamp& t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second};
}

TEST(SampleBuffers, AppValuesAreFixed) {
    EXPECT_EQ(0, MobileSensorDataBuffer::KINESCOPE_APP);
    EXPECT_EQ(1, MobileSensorDataBuffer::KINEDGRAM_APP);
    // stored as a 32-bit signed integer
    EXPECT_EQ(4u, sizeof(App));
}

TEST(SampleBuffers, EveryKindHoldsOneSampleAndKeepsItsApp) {
    for (const Kind& kind : everyKind()) {
        for (App app :
             {MobileSensorDataBuffer::KINESCOPE_APP, MobileSensorDataBuffer::KINEDGRAM_APP}) {
            MobileSensorDataBuffer* buffer = kind.make(app);
            const BufferPtr held = hold(buffer);
            EXPECT_EQ(1u, buffer->getCount()) << kind.name;
            EXPECT_EQ(app, buffer->getApp()) << kind.name;
        }
    }
}

TEST(SampleBuffers, BufferBuiltAt090507250ReportsThatTime) {
    const ScriptedClock clock({2013, 5, 17, 9, 5, 7, 250});
    for (const Kind& kind : everyKind()) {
        const BufferPtr held = hold(kind.make(MobileSensorDataBuffer::KINESCOPE_APP));
        const auto* buffer = static_cast<MobileSensorDataBuffer*>(held.get());
        EXPECT_EQ(Stamp(2013.0, 5.0, 17.0, 9.0, 5.0, 7.25), stampOf(buffer->getTimestamp()))
            << kind.name;
    }
}

TEST(SampleBuffers, SecondsCarryTheMilliseconds) {
    struct Case {
        LocalTime time;
        Stamp stamp;
    };
    const Case cases[] = {
        {{2024, 1, 1, 0, 0, 0, 0}, {2024, 1, 1, 0, 0, 0.0}},
        {{2024, 12, 31, 23, 59, 59, 999}, {2024, 12, 31, 23, 59, 59 + 999 / 1000.0}},
        {{1999, 2, 28, 12, 30, 0, 1}, {1999, 2, 28, 12, 30, 0.001}},
    };
    for (const Case& c : cases) {
        const ScriptedClock clock(c.time);
        const BufferPtr held = hold(new GyroscopeDataBuffer(App{}, 0, 0, 0));
        EXPECT_EQ(c.stamp, stampOf(static_cast<GyroscopeDataBuffer*>(held.get())->getTimestamp()));
    }
}

// The local calendar time as a tuple that orders like time, milliseconds included.
std::tuple<int, int, int, int, int, int, int> ordered(const LocalTime& t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond};
}
std::tuple<int, int, int, int, int, int, int> ordered(const MobileSensorDataBuffer::TimeStamp& t) {
    const double milliseconds = std::round(t.second * 1000.0);
    return {static_cast<int>(t.year),
            static_cast<int>(t.month),
            static_cast<int>(t.day),
            static_cast<int>(t.hour),
            static_cast<int>(t.minute),
            static_cast<int>(milliseconds / 1000),
            static_cast<int>(std::fmod(milliseconds, 1000.0))};
}

TEST(SampleBuffers, StampIsTheLocalClockToTheMillisecond) {
    const LocalTime before = readLocalTime();
    const BufferPtr held = hold(new AccelerometerDataBuffer(App{}, 0, 0, 0));
    const LocalTime after = readLocalTime();
    const auto stamp = static_cast<AccelerometerDataBuffer*>(held.get())->getTimestamp();
    // whole numbers, and seconds in steps of a millisecond
    EXPECT_EQ(stamp.year, std::floor(stamp.year));
    EXPECT_EQ(stamp.minute, std::floor(stamp.minute));
    EXPECT_NEAR(stamp.second * 1000.0, std::round(stamp.second * 1000.0), 1e-6);
    EXPECT_LE(ordered(before), ordered(stamp));
    EXPECT_LE(ordered(stamp), ordered(after));
}

TEST(SampleBuffers, BuffersOfTheSameMillisecondCarryEqualStamps) {
    // Try until two buffers fall inside one millisecond of the platform clock.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const LocalTime before = readLocalTime();
        const BufferPtr first = hold(new MagnetometerDataBuffer(App{}, {0, 0, 0}));
        const BufferPtr second = hold(new HeadingDataBuffer(App{}, {0, 0, 0}));
        if (ordered(readLocalTime()) != ordered(before))
            continue;
        EXPECT_EQ(stampOf(static_cast<MagnetometerDataBuffer*>(first.get())->getTimestamp()),
                  stampOf(static_cast<HeadingDataBuffer*>(second.get())->getTimestamp()));
        return;
    }
    FAIL() << "never built two buffers within one millisecond";
}

TEST(LocalClock, AgreesWithTheCLibraryLocalTime) {
    using namespace std::chrono;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const system_clock::time_point before = system_clock::now();
        const LocalTime clock = readLocalTime();
        const system_clock::time_point after = system_clock::now();
        const std::time_t seconds = system_clock::to_time_t(before);
        // Clocks read through different calls may disagree by a tick near a second
        // boundary (time() reads a coarser clock than the precise one on Linux):
        // compare only well inside a second.
        const auto intoSecond = before - system_clock::from_time_t(seconds);
        if (system_clock::to_time_t(after) != seconds || intoSecond < milliseconds(50) ||
            intoSecond > milliseconds(900)) {
            std::this_thread::sleep_for(milliseconds(37));
            continue;
        }
        const std::tm* parts = std::localtime(&seconds);
        ASSERT_NE(nullptr, parts);
        EXPECT_EQ(parts->tm_year + 1900, clock.year);
        EXPECT_EQ(parts->tm_mon + 1, clock.month);
        EXPECT_EQ(parts->tm_mday, clock.day);
        EXPECT_EQ(parts->tm_hour, clock.hour);
        EXPECT_EQ(parts->tm_min, clock.minute);
        EXPECT_EQ(parts->tm_sec, clock.second);
        EXPECT_GE(clock.millisecond, 0);
        EXPECT_LT(clock.millisecond, 1000);
        return;
    }
    FAIL() << "never read the clock well inside a second";
}

// Bitwise equality: NaN equals itself and -0.0 differs from 0.0.
bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class Values : public ::testing::TestWithParam<double> {};

TEST_P(Values, ComeBackUnchanged) {
    const double v = GetParam();
    const double w = -1.5, u = 0.25;
    const App app = MobileSensorDataBuffer::KINEDGRAM_APP;
    double a = 0, b = 0, c = 0;

    const BufferPtr accel = hold(new AccelerometerDataBuffer(app, v, w, u));
    static_cast<AccelerometerDataBuffer*>(accel.get())->getData(a, b, c);
    EXPECT_TRUE(same(v, a) && same(w, b) && same(u, c)) << "accelerometer";

    const BufferPtr gyro = hold(new GyroscopeDataBuffer(app, u, v, w));
    static_cast<GyroscopeDataBuffer*>(gyro.get())->getData(a, b, c);
    EXPECT_TRUE(same(u, a) && same(v, b) && same(w, c)) << "gyroscope";

    const BufferPtr orientation = hold(new OrientationDataBuffer(app, w, u, v));
    static_cast<OrientationDataBuffer*>(orientation.get())->getData(a, b, c);
    EXPECT_TRUE(same(w, a) && same(u, b) && same(v, c)) << "orientation";

    HeadingDataBuffer::Heading heading{};
    const BufferPtr headingBuffer = hold(new HeadingDataBuffer(app, {v, w, u}));
    static_cast<HeadingDataBuffer*>(headingBuffer.get())->getData(heading);
    EXPECT_TRUE(same(v, heading.trueHeading) && same(w, heading.magneticHeading) &&
                same(u, heading.headingAccuracy))
        << "heading";

    MagnetometerDataBuffer::Magnetometer field{};
    const BufferPtr magnetometer = hold(new MagnetometerDataBuffer(app, {u, w, v}));
    static_cast<MagnetometerDataBuffer*>(magnetometer.get())->getData(field);
    EXPECT_TRUE(same(u, field.x) && same(w, field.y) && same(v, field.z)) << "magnetometer";

    HorizontalLocationDataBuffer::Location horizontal{};
    const BufferPtr horizontalBuffer =
        hold(new HorizontalLocationDataBuffer(app, {v, w, u, -v, 7}));
    static_cast<HorizontalLocationDataBuffer*>(horizontalBuffer.get())->getData(horizontal);
    EXPECT_TRUE(same(v, horizontal.latitude) && same(w, horizontal.longitude) &&
                same(u, horizontal.horizontalAccuracy) && same(-v, horizontal.course) &&
                same(7, horizontal.speed))
        << "horizontal location";

    VerticalLocationDataBuffer::Location vertical{};
    const BufferPtr verticalBuffer = hold(new VerticalLocationDataBuffer(app, {w, v}));
    static_cast<VerticalLocationDataBuffer*>(verticalBuffer.get())->getData(vertical);
    EXPECT_TRUE(same(w, vertical.altitude) && same(v, vertical.verticalAccuracy))
        << "vertical location";

    LocationDataBuffer::Location full{};
    const BufferPtr fullBuffer = hold(new LocationDataBuffer(app, {1, 2, 3, 4, 5, 6, v}));
    static_cast<LocationDataBuffer*>(fullBuffer.get())->getData(full);
    EXPECT_TRUE(same(1, full.latitude) && same(2, full.longitude) && same(3, full.altitude) &&
                same(4, full.horizontalAccuracy) && same(5, full.verticalAccuracy) &&
                same(6, full.course) && same(v, full.speed))
        << "location";
}

INSTANTIATE_TEST_SUITE_P(Samples, Values,
                         ::testing::Values(0.0, -0.0, -273.15, 9.81, 1e-310,
                                           std::numeric_limits<double>::max(),
                                           std::numeric_limits<double>::quiet_NaN(),
                                           -std::numeric_limits<double>::quiet_NaN(),
                                           std::numeric_limits<double>::infinity(),
                                           -std::numeric_limits<double>::infinity()));

// A buffer class of the test's own, to see its destructor run.
class ObservedBuffer final : public AccelerometerDataBuffer {
public:
    explicit ObservedBuffer(int& destroyed)
        : AccelerometerDataBuffer(MobileSensorDataBuffer::KINESCOPE_APP, 0, 0, 0),
          destroyed_(destroyed) {}
    ~ObservedBuffer() override { ++destroyed_; }

private:
    int& destroyed_;
};

TEST(SampleBuffers, DestroyThroughTheInterfaceRunsTheDerivedDestructor) {
    int destroyed = 0;
    IDataBuffer* buffer = new ObservedBuffer(destroyed);
    buffer->destroy();
    EXPECT_EQ(1, destroyed);
    // Every library class frees itself the same way (the sanitizer builds check the
    // memory).
    for (const Kind& kind : everyKind()) {
        IDataBuffer* any = kind.make(MobileSensorDataBuffer::KINEDGRAM_APP);
        any->destroy();
    }
}

TEST(SampleBuffers, ConsumersTellTheKindsApartByDynamicType) {
    // What the converter does with a buffer it received through the channel.
    const BufferPtr heading = hold(new HeadingDataBuffer(App{}, {1, 2, 3}));
    EXPECT_NE(nullptr, dynamic_cast<HeadingDataBuffer*>(heading.get()));
    EXPECT_NE(nullptr, dynamic_cast<MobileSensorDataBuffer*>(heading.get()));
    EXPECT_EQ(nullptr, dynamic_cast<MagnetometerDataBuffer*>(heading.get()));
    const BufferPtr vertical = hold(new VerticalLocationDataBuffer(App{}, {1, 2}));
    EXPECT_EQ(nullptr, dynamic_cast<HorizontalLocationDataBuffer*>(vertical.get()));
    EXPECT_EQ(nullptr, dynamic_cast<LocationDataBuffer*>(vertical.get()));
    EXPECT_NE(nullptr, dynamic_cast<VerticalLocationDataBuffer*>(vertical.get()));
}

} // namespace
