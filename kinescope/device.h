#pragma once

#include "conduit/interfaces/channel.h"
#include "conduit/interfaces/device.h"
#include "mobilesensor/device/sensor_device_core.h"

#include <boost/core/noncopyable.hpp>
#include <boost/shared_array.hpp>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kinescope {

// The device of the phone app that sends fixed-length binary records. Between open
// and close each record becomes heading and magnetometer, acceleration, rotation
// rate or location buffers in the channel. Nothing is kept from one record to the
// next.
class Device : public conduit::interfaces::device::IControl,
               public conduit::interfaces::device::IDataSource,
               private boost::noncopyable {
public:
    // The largest record; a longer datagram arrives cut to this size.
    static constexpr std::size_t RECEIVE_SIZE = 72;

    explicit Device(conduit::interfaces::channel::IControl& hostChannel);

    // conduit::interfaces::device::IControl, host control thread
    void init(const conduit::interfaces::device::PropertyList& options,
              conduit::interfaces::device::PropertyList& published) override;
    conduit::interfaces::device::IDataSource* getDataSource() const override;
    conduit::interfaces::device::IDataSink* getDataSink() const override;
    void open(const conduit::interfaces::device::PropertyList& options) override;
    void execute(const char* command,
                 const conduit::interfaces::device::PropertyList& arguments) override;
    void close() override;
    void term() override;

    // conduit::interfaces::device::IDataSource
    bool isSourceDone() const override;
    std::int32_t getSourcePolling() const override;

    conduit::interfaces::channel::IControl& getChannel() const;

    // The listener's data callback (service thread), one datagram at a time: data
    // holds at least length bytes, read in place. True when every buffer built from
    // the record was accepted (or an invalid location was passed over); false for a
    // record of unknown type or wrong length, or when the channel did not accept a
    // buffer. Never throws.
    bool onDatagram(boost::shared_array<std::uint8_t> data, std::size_t length);

    void errorFcn(const std::string& id, const std::string& text);
    void warnFcn(const std::string& id, const std::string& text);

protected:
    // Released through term().
    ~Device() override;

private:
    bool parseHeading(const std::uint8_t* data, std::size_t length);
    bool parseAccelerometer(const std::uint8_t* data, std::size_t length);
    bool parseGyroscope(const std::uint8_t* data, std::size_t length);
    bool parseLocation(const std::uint8_t* data, std::size_t length);

    mobilesensor::SensorDeviceCore core;
};

} // namespace kinescope
