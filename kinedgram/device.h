#pragma once

#include "conduit/interfaces/channel.h"
#include "conduit/interfaces/device.h"
#include "fix_selection.h"
#include "mobilesensor/device/sensor_device_core.h"
#include "text_datagram.h"
#include "text_fields.h"

#include <boost/core/noncopyable.hpp>
#include <boost/shared_array.hpp>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kinedgram {

// The device of the phone app that sends one comma-separated text line per reading.
// Between open and close each datagram becomes acceleration, magnetic field,
// orientation or location buffers in the channel; location fixes of the two kinds
// the app sends pass a selection that keeps the better one (fix_selection.h).
class Device : public conduit::interfaces::device::IControl,
               public conduit::interfaces::device::IDataSource,
               private boost::noncopyable {
public:
    // The longest datagram delivered whole; a longer one arrives cut to this size.
    static constexpr std::size_t RECEIVE_SIZE = 200;

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
    // holds at least length bytes, and its byte length - 1 is overwritten. True when
    // the datagram was handled (its buffers accepted, or a fix passed over); false
    // when it was dropped as malformed or the channel did not accept a buffer.
    // Never throws.
    bool onDatagram(boost::shared_array<std::uint8_t> data, std::size_t length);

    void errorFcn(const std::string& id, const std::string& text);
    void warnFcn(const std::string& id, const std::string& text);

    // The last accepted location fix (tests).
    const FixState& getFixState() const { return fixState; }

protected:
    // Released through term().
    ~Device() override;

private:
    bool parseAccelerometer(std::uint8_t* data, std::size_t length);
    bool parseMagnetometer(std::uint8_t* data, std::size_t length);
    bool parseOrientation(std::uint8_t* data, std::size_t length);
    bool parseLocationG(std::uint8_t* data, std::size_t length);
    bool parseLocationN(std::uint8_t* data, std::size_t length);

    // The reading of a location datagram when the fix selection takes it.
    bool acceptLocation(std::uint8_t* data, std::size_t length, std::int32_t source,
                        TextReading& reading, bool& taken);

    // Service thread only, apart from construction.
    FixState fixState;
    TextFields fields;
    // Declared last, so destroyed first: the listener stops before the state it feeds.
    mobilesensor::SensorDeviceCore core;
};

} // namespace kinedgram
