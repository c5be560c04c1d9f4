#pragma once

#include "conduit/interfaces/data_buffer.h"
#include "kinelink_export.h"

#include <cstddef>
#include <cstdint>

// Time-stamped sensor samples. A device builds one buffer per reading with new,
// writes it into the channel, and the last holder releases it with destroy(). Each
// buffer stamps itself with the computer's local time when it is constructed and
// never changes afterwards, so any thread may read it once it has been handed over.
// Values come back exactly as they were given: nothing is scaled or checked.

namespace mobilesensor {

// Base of every sample buffer: the app the sample came from and the local time of
// construction. It can be built on its own as a buffer without payload.
class KINELINK_EXPORT MobileSensorDataBuffer : public conduit::interfaces::IDataBuffer {
public:
    // The phone app whose datagram produced the sample; stored as a 32-bit integer.
    enum App : std::int32_t {
        KINESCOPE_APP = 0, // binary records (kinescope)
        KINEDGRAM_APP = 1, // comma-separated text lines (kinedgram)
    };

    // Local wall-clock time of construction. year to minute are whole numbers;
    // second is the whole seconds plus milliseconds / 1000 (0.000 to 59.999).
    struct TimeStamp {
        double year;
        double month;  // 1..12
        double day;    // 1..31
        double hour;   // 0..23
        double minute; // 0..59
        double second;
    };
    static_assert(sizeof(TimeStamp) == 6 * sizeof(double), "six doubles, no padding");

    explicit MobileSensorDataBuffer(App app);

    // any thread; always 1: every buffer holds one sample
    std::size_t getCount() const override;
    // the last holder, once: deletes the buffer through its virtual destructor
    void destroy() override;

    App getApp() const;
    TimeStamp getTimestamp() const;

protected:
    // Holders of the base release through destroy().
    ~MobileSensorDataBuffer() override;

private:
    // Reads the local clock once, to the millisecond (see local_time.h).
    void setTimestampToNow();

    App app_;
    TimeStamp timestamp_;
};

// Acceleration along the phone's axes.
class KINELINK_EXPORT AccelerometerDataBuffer : public MobileSensorDataBuffer {
public:
    AccelerometerDataBuffer(const App& app, const double& x, const double& y, const double& z);
    ~AccelerometerDataBuffer() override;

    void getData(double& x, double& y, double& z) const;

private:
    double x_;
    double y_;
    double z_;
};

// Rotation rate around the phone's axes.
class KINELINK_EXPORT GyroscopeDataBuffer : public MobileSensorDataBuffer {
public:
    GyroscopeDataBuffer(const App& app, const double& x, const double& y, const double& z);
    ~GyroscopeDataBuffer() override;

    void getData(double& x, double& y, double& z) const;

private:
    double x_;
    double y_;
    double z_;
};

// Attitude of the phone.
class KINELINK_EXPORT OrientationDataBuffer : public MobileSensorDataBuffer {
public:
    OrientationDataBuffer(const App& app, const double& azimuth, const double& pitch,
                          const double& roll);
    ~OrientationDataBuffer() override;

    void getData(double& azimuth, double& pitch, double& roll) const;

private:
    double azimuth_;
    double pitch_;
    double roll_;
};

// Compass heading.
class KINELINK_EXPORT HeadingDataBuffer : public MobileSensorDataBuffer {
public:
    struct Heading {
        double trueHeading;
        double magneticHeading;
        double headingAccuracy; // negative: the app marks the heading invalid
    };
    static_assert(sizeof(Heading) == 3 * sizeof(double), "three doubles, no padding");

    HeadingDataBuffer(const App& app, const Heading& heading);
    ~HeadingDataBuffer() override;

    void getData(Heading& heading) const;

private:
    Heading heading_;
};

// Magnetic field along the phone's axes.
class KINELINK_EXPORT MagnetometerDataBuffer : public MobileSensorDataBuffer {
public:
    struct Magnetometer {
        double x;
        double y;
        double z;
    };
    static_assert(sizeof(Magnetometer) == 3 * sizeof(double), "three doubles, no padding");

    MagnetometerDataBuffer(const App& app, const Magnetometer& magnetometer);
    ~MagnetometerDataBuffer() override;

    void getData(Magnetometer& magnetometer) const;

private:
    Magnetometer magnetometer_;
};

// A position fix on the ground.
class KINELINK_EXPORT HorizontalLocationDataBuffer : public MobileSensorDataBuffer {
public:
    struct Location {
        double latitude;
        double longitude;
        double horizontalAccuracy;
        double course;
        double speed;
    };
    static_assert(sizeof(Location) == 5 * sizeof(double), "five doubles, no padding");

    HorizontalLocationDataBuffer(const App& app, const Location& location);
    ~HorizontalLocationDataBuffer() override;

    void getData(Location& location) const;

private:
    Location location_;
};

// A height fix.
class KINELINK_EXPORT VerticalLocationDataBuffer : public MobileSensorDataBuffer {
public:
    struct Location {
        double altitude;
        double verticalAccuracy;
    };
    static_assert(sizeof(Location) == 2 * sizeof(double), "two doubles, no padding");

    VerticalLocationDataBuffer(const App& app, const Location& location);
    ~VerticalLocationDataBuffer() override;

    void getData(Location& location) const;

private:
    Location location_;
};

// A complete fix: the horizontal and the vertical part together. No device of the
// sensor family builds one yet.
class KINELINK_EXPORT LocationDataBuffer : public MobileSensorDataBuffer {
public:
    struct Location {
        double latitude;
        double longitude;
        double altitude;
        double horizontalAccuracy;
        double verticalAccuracy;
        double course;
        double speed;
    };
    static_assert(sizeof(Location) == 7 * sizeof(double), "seven doubles, no padding");

    LocationDataBuffer(const App& app, const Location& location);
    ~LocationDataBuffer() override;

    void getData(Location& location) const;

private:
    Location location_;
};

} // namespace mobilesensor
