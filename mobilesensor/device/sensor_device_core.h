#pragma once

#include "conduit/interfaces/channel.h"
#include "conduit/interfaces/property_list.h"
#include "conduit/kit/boundary.h"
#include "mobilesensor/udp_listener.h"
#include "parsed_datagram.h"

#include <boost/core/noncopyable.hpp>
#include <boost/shared_array.hpp>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace mobilesensor {

// What the two sensor devices share: the "PortNumber" and "IPAddress" options, the
// published properties, the UDP listener and its cycle, the messages, and the path
// of a datagram: the once-per-open "IPAddress" report, then the buffers that the
// device's parse function makes of it, handed to the channel. A device is this core
// with its parser (sensor_device.h).
//
// Every operation that the host reaches catches what it raises and reports it as an
// "error" message with the identifier "KORVEX:<component>:runtimeError"; nothing
// leaves as an exception. Operations that need a listener do nothing before the
// first successful init.
//
// Threads. init, open, close and the destructor run on the host's control thread.
// onDatagram, and the parse function it calls, run on the listener's service
// thread while the listener runs. The listener is stopped (its thread joined)
// before anything the service thread reads is changed: open clears the report flag
// only while no cycle runs, and init stops a running listener before it replaces it.
class SensorDeviceCore : private boost::noncopyable {
public:
    // What the device makes of one datagram: data holds at least length bytes and
    // may be written to. Service thread, one datagram at a time.
    using Parse = std::function<ParsedDatagram(std::uint8_t* data, std::size_t length)>;

    // component names the device in message identifiers ("kinedgram"); receiveSize
    // is the longest datagram the listener delivers whole.
    SensorDeviceCore(conduit::interfaces::channel::IControl& hostChannel, std::string component,
                     std::size_t listenerReceiveSize, Parse parseDatagram);
    // Stops and deletes the listener: no datagram is parsed once this has returned.
    ~SensorDeviceCore();

    // Reads "PortNumber" (a double) and "IPAddress" (a string), each defaulting to
    // the value of the last successful init. A port of -1 or less or of 65536 or
    // more is reported as "KORVEX:<component>:invalidPort" and changes nothing.
    // Otherwise appends "PortNumber" 0.0, "IPAddress" "" and, when the computer has
    // addressed adapters, "AvailableInterfaces", and replaces the listener by a new,
    // stopped one. Either everything is published and replaced, or nothing.
    void init(const conduit::interfaces::device::PropertyList& options,
              conduit::interfaces::device::PropertyList& published) noexcept;
    // Starts a listening cycle and posts the port bound ("PortNumber", 0 when none).
    void open() noexcept;
    // Ends the cycle and posts "PortNumber" 0.
    void close() noexcept;

    void errorFcn(const std::string& id, const std::string& text) noexcept;
    void warnFcn(const std::string& id, const std::string& text) noexcept;

    // The listener's data callback (service thread). The first datagram after each
    // open, whatever it holds, posts "IPAddress" with the local address that reached
    // the phone. A datagram that parse rejects is counted as malformed for the
    // listener's port (mobilesensor/datagram_accounting.h). Otherwise the buffers
    // that parse makes of it go to the channel in order;
    // one the channel does not accept ends the datagram, and the buffers after it
    // are released unsent. True when the datagram was a reading and the channel
    // accepted all of its buffers (or it had none); false otherwise, also when parse
    // threw. Never throws.
    bool onDatagram(boost::shared_array<std::uint8_t> data, std::size_t length) noexcept;

    conduit::interfaces::channel::IControl& getChannel() const { return channel; }

private:
    void initialise(const conduit::interfaces::device::PropertyList& options,
                    conduit::interfaces::device::PropertyList& published);
    void postPort() noexcept;
    void publishIPAddressOnce() noexcept;
    // The kit's catch ladder with this device's identifier.
    template <class Operation> void guarded(Operation&& operation) noexcept;

    conduit::interfaces::channel::IControl& channel;
    const std::string invalidPortId;
    const conduit::kit::device::FailureMessage runtimeError;
    const std::size_t receiveSize;
    const Parse parse;

    std::unique_ptr<UDPListener> listener;
    std::uint16_t port = 0;
    std::string ipAddress;
    // Set on the service thread, cleared by open while no cycle runs.
    bool ipAddressPublished = false;
    // Whether a cycle was started and not yet ended (control thread only).
    bool listening = false;
};

} // namespace mobilesensor
