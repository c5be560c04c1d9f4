#pragma once

#include "conduit/interfaces/channel.h"
#include "conduit/interfaces/property_list.h"
#include "conduit/kit/boundary.h"
#include "mobilesensor/udp_listener.h"

#include <boost/core/noncopyable.hpp>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace mobilesensor {

// What the two sensor devices share: the "PortNumber" and "IPAddress" options, the
// published properties, the UDP listener and its cycle, the messages, the
// once-per-open "IPAddress" report and the hand-over of buffers. A device owns one
// core and adds the parsing of its app's datagrams.
//
// Every operation that the host reaches catches what it raises and reports it as an
// "error" message with the identifier "KORVEX:<component>:runtimeError"; nothing
// leaves as an exception. Operations that need a listener do nothing before the
// first successful init.
//
// Threads. init, open, close and the destructor run on the host's control thread.
// The data callback, publishIPAddressOnce and push run on the listener's service
// thread while the listener runs. The listener is stopped (its thread joined)
// before anything the service thread reads is changed: open clears the report flag
// only while no cycle runs, and init stops a running listener before it replaces it.
class SensorDeviceCore : private boost::noncopyable {
public:
    // component names the device in message identifiers ("kinedgram"); receiveSize
    // is the longest datagram the listener delivers whole; onDatagram gets every
    // datagram the listener accepts.
    SensorDeviceCore(conduit::interfaces::channel::IControl& hostChannel, std::string component,
                     std::size_t listenerReceiveSize, UDPListener::DataCallback onDatagram);
    // Stops and deletes the listener: no callback runs once this has returned.
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

    // Service thread: posts "IPAddress" with the local address that reached the
    // phone, the first time it is called after each open.
    void publishIPAddressOnce() noexcept;
    // Service thread: hands buffer to the channel; true when the channel accepted
    // it. The buffer is the channel's from then on, whatever happened.
    bool push(conduit::interfaces::IDataBuffer* buffer) noexcept;

    conduit::interfaces::channel::IControl& getChannel() const { return channel; }

    // For tests: the options of the last successful init.
    std::uint16_t requestedPort() const { return port; }
    const std::string& requestedAddress() const { return ipAddress; }

private:
    void initialise(const conduit::interfaces::device::PropertyList& options,
                    conduit::interfaces::device::PropertyList& published);
    void postPort() noexcept;
    // The kit's catch ladder with this device's identifier.
    template <class Operation> void guarded(Operation&& operation) noexcept;

    conduit::interfaces::channel::IControl& channel;
    const std::string invalidPortId;
    const conduit::kit::device::FailureMessage runtimeError;
    const std::size_t receiveSize;
    const UDPListener::DataCallback dataCallback;

    std::unique_ptr<UDPListener> listener;
    std::uint16_t port = 0;
    std::string ipAddress;
    // Set on the service thread, cleared by open while no cycle runs.
    bool ipAddressPublished = false;
    // Whether a cycle was started and not yet ended (control thread only).
    bool listening = false;
};

} // namespace mobilesensor
