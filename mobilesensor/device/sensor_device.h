#pragma once

#include "conduit/interfaces/channel.h"
#include "conduit/interfaces/device.h"
#include "sensor_device_core.h"

#include <boost/core/noncopyable.hpp>
#include <boost/shared_array.hpp>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace mobilesensor {

// The device object of a sensor plug-in: SensorDeviceCore for everything the two
// devices share, and the Parser of the device's app. A Parser has
//   static constexpr const char* COMPONENT;    // "kinedgram": names its messages
//   static constexpr std::size_t RECEIVE_SIZE; // the longest datagram delivered whole
//   ParsedDatagram parse(std::uint8_t* data, std::size_t length);
// and parse runs on the listener's service thread, one datagram at a time.
template <class Parser>
class SensorDevice : public conduit::interfaces::device::IControl,
                     public conduit::interfaces::device::IDataSource,
                     private boost::noncopyable {
public:
    static constexpr std::size_t RECEIVE_SIZE = Parser::RECEIVE_SIZE;

    explicit SensorDevice(conduit::interfaces::channel::IControl& hostChannel)
        : core(hostChannel, Parser::COMPONENT, RECEIVE_SIZE,
               [this](std::uint8_t* data, std::size_t length) {
                   return parser.parse(data, length);
               }) {}

    // conduit::interfaces::device::IControl, host control thread
    void init(const conduit::interfaces::device::PropertyList& options,
              conduit::interfaces::device::PropertyList& published) override {
        core.init(options, published);
    }
    conduit::interfaces::device::IDataSource* getDataSource() const override {
        return const_cast<SensorDevice*>(this);
    }
    conduit::interfaces::device::IDataSink* getDataSink() const override { return nullptr; }
    // The options are not read.
    void open(const conduit::interfaces::device::PropertyList&) override { core.open(); }
    void execute(const char*, const conduit::interfaces::device::PropertyList&) override {}
    void close() override { core.close(); }
    void term() override { delete this; }

    // conduit::interfaces::device::IDataSource
    bool isSourceDone() const override { return false; }
    std::int32_t getSourcePolling() const override { return 0; }

    conduit::interfaces::channel::IControl& getChannel() const { return core.getChannel(); }

    // The listener's data callback (service thread): see SensorDeviceCore::onDatagram.
    bool onDatagram(boost::shared_array<std::uint8_t> data, std::size_t length) {
        return core.onDatagram(std::move(data), length);
    }

    void errorFcn(const std::string& id, const std::string& text) { core.errorFcn(id, text); }
    void warnFcn(const std::string& id, const std::string& text) { core.warnFcn(id, text); }

    // The parser and the state it keeps (tests).
    const Parser& getParser() const { return parser; }

protected:
    // Released through term().
    ~SensorDevice() override = default;

private:
    // Service thread only, apart from construction and destruction.
    Parser parser;
    // Declared after the parser, so destroyed before it: the core stops the listener
    // and joins its thread, the only caller of the parser, before the parser goes.
    SensorDeviceCore core;
};

} // namespace mobilesensor
