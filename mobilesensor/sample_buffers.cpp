#include "sample_buffers.h"

#include "count_recording.h"
#include "local_time.h"

namespace mobilesensor {

MobileSensorDataBuffer::MobileSensorDataBuffer(App sourceApp)
    : app_(sourceApp), timestamp_{0.0, 0.0, 0.0, 0.0, 0.0, 0.0} {
    setTimestampToNow();
    counters::sampleBufferCreated();
}

MobileSensorDataBuffer::~MobileSensorDataBuffer() { counters::sampleBufferDestroyed(); }

std::size_t MobileSensorDataBuffer::getCount() const { return 1; }

void MobileSensorDataBuffer::destroy() { delete this; }

MobileSensorDataBuffer::App MobileSensorDataBuffer::getApp() const { return app_; }

MobileSensorDataBuffer::TimeStamp MobileSensorDataBuffer::getTimestamp() const {
    return timestamp_;
}

void MobileSensorDataBuffer::setTimestampToNow() {
    const LocalTime now = currentLocalTimeSource()();
    timestamp_.year = now.year;
    timestamp_.month = now.month;
    timestamp_.day = now.day;
    timestamp_.hour = now.hour;
    timestamp_.minute = now.minute;
    timestamp_.second = now.second + now.millisecond / 1000.0;
}

AccelerometerDataBuffer::AccelerometerDataBuffer(const App& sourceApp, const double& xValue,
                                                 const double& yValue, const double& zValue)
    : MobileSensorDataBuffer(sourceApp), x_(xValue), y_(yValue), z_(zValue) {}

AccelerometerDataBuffer::~AccelerometerDataBuffer() = default;

void AccelerometerDataBuffer::getData(double& xOut, double& yOut, double& zOut) const {
    xOut = x_;
    yOut = y_;
    zOut = z_;
}

GyroscopeDataBuffer::GyroscopeDataBuffer(const App& sourceApp, const double& xValue,
                                         const double& yValue, const double& zValue)
    : MobileSensorDataBuffer(sourceApp), x_(xValue), y_(yValue), z_(zValue) {}

GyroscopeDataBuffer::~GyroscopeDataBuffer() = default;

void GyroscopeDataBuffer::getData(double& xOut, double& yOut, double& zOut) const {
    xOut = x_;
    yOut = y_;
    zOut = z_;
}

OrientationDataBuffer::OrientationDataBuffer(const App& sourceApp, const double& azimuthValue,
                                             const double& pitchValue, const double& rollValue)
    : MobileSensorDataBuffer(sourceApp), azimuth_(azimuthValue), pitch_(pitchValue),
      roll_(rollValue) {}

OrientationDataBuffer::~OrientationDataBuffer() = default;

void OrientationDataBuffer::getData(double& azimuthOut, double& pitchOut, double& rollOut) const {
    azimuthOut = azimuth_;
    pitchOut = pitch_;
    rollOut = roll_;
}

HeadingDataBuffer::HeadingDataBuffer(const App& sourceApp, const Heading& value)
    : MobileSensorDataBuffer(sourceApp), heading_(value) {}

HeadingDataBuffer::~HeadingDataBuffer() = default;

void HeadingDataBuffer::getData(Heading& out) const { out = heading_; }

MagnetometerDataBuffer::MagnetometerDataBuffer(const App& sourceApp, const Magnetometer& value)
    : MobileSensorDataBuffer(sourceApp), magnetometer_(value) {}

MagnetometerDataBuffer::~MagnetometerDataBuffer() = default;

void MagnetometerDataBuffer::getData(Magnetometer& out) const { out = magnetometer_; }

HorizontalLocationDataBuffer::HorizontalLocationDataBuffer(const App& sourceApp,
                                                           const Location& value)
    : MobileSensorDataBuffer(sourceApp), location_(value) {}

HorizontalLocationDataBuffer::~HorizontalLocationDataBuffer() = default;

void HorizontalLocationDataBuffer::getData(Location& out) const { out = location_; }

VerticalLocationDataBuffer::VerticalLocationDataBuffer(const App& sourceApp, const Location& value)
    : MobileSensorDataBuffer(sourceApp), location_(value) {}

VerticalLocationDataBuffer::~VerticalLocationDataBuffer() = default;

void VerticalLocationDataBuffer::getData(Location& out) const { out = location_; }

LocationDataBuffer::LocationDataBuffer(const App& sourceApp, const Location& value)
    : MobileSensorDataBuffer(sourceApp), location_(value) {}

LocationDataBuffer::~LocationDataBuffer() = default;

void LocationDataBuffer::getData(Location& out) const { out = location_; }

} // namespace mobilesensor
