#pragma once

#include "kinelink_export.h"

#include <boost/function.hpp>
#include <boost/shared_array.hpp>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace mobilesensor {

// Receives the UDP datagrams a phone app sends, one at a time, and hands each to its
// owner through a callback on the listener's own service thread.
//
// Given port 0 the listener searches for a free port (port_search.h) anew in every
// listening cycle; given another port it tries that one only. It accepts datagrams
// from one sender: the first address that reaches it in its life. With that first
// datagram it also finds the local address through which this computer reaches the
// sender. A datagram longer than receiveSize is delivered cut to receiveSize bytes.
// Each accepted datagram is first offered whole to the process's datagram tap, when
// a program has set one (datagram_tap.h).
//
// Threads. The constructor, beginListening, stopListening and the destructor belong
// to the owner's thread. The getters may be called from any thread, including from
// inside the data callback. The data callback and the error reports of a running
// cycle come from the service thread, one datagram at a time; the next receive is
// posted only when the data callback has returned. On Linux a stream of more than a
// datagram a millisecond is read after short sleeps instead of one wake-up per
// datagram: each of its datagrams may wait up to 4 ms longer (the pause of
// queued_datagrams.h). The error report of a failed bind comes from the owner's
// thread, inside beginListening. No callback runs once stopListening or the
// destructor has returned. A callback must not stop or destroy its own listener:
// stopping waits for the service thread, which would wait for itself.
//
// Every datagram is accounted for the bound port: received, from another sender or
// delivered, and the socket's system drops (datagram_accounting.h).
//
// Reports (error callback, identifier first):
//  - no port could be bound, or the address does not parse:
//    "KORVEX:UDPListener:startUDPServer:unableToOpen", "Cannot start UDP server.";
//    the cycle then delivers nothing until it is stopped;
//  - a receive buffer could not be allocated or the receive could not be posted, or
//    the data callback threw: an empty identifier and text; reception ends for the
//    cycle.
// A receive that fails in any other way ends reception for the cycle silently.
// Nothing is reported while the listener is stopping. The warning callback is kept
// for the owner but never called.
class KINELINK_EXPORT UDPListener {
public:
    using DataCallback = boost::function<bool(boost::shared_array<std::uint8_t>, std::size_t)>;
    using MessageCallback = boost::function<void(const std::string&, const std::string&)>;

    // The receive buffer the listener asks the socket for: a phone sends in bursts
    // after a Wi-Fi stall, and a few MiB cost nothing. What the system granted is
    // getReceiveBufferSize().
    static constexpr int RECEIVE_BUFFER_REQUEST = 4 * 1024 * 1024;

    // address: the local address to bind to; empty binds every local IPv4 address.
    // port: the port to bind, or 0 to search. receiveSize: the longest datagram
    // delivered whole; every datagram arrives in a fresh array of this size, which the
    // receiver may keep. dataCallback receives the array and the number of bytes in
    // it; a false answer (the receiver dropped the datagram) is only counted
    // (kinelink_counts.h). Opens no socket.
    UDPListener(std::string address, std::uint16_t port, std::size_t receiveSize,
                DataCallback dataCallback, MessageCallback errorCallback,
                MessageCallback warningCallback);
    // Stops like stopListening.
    virtual ~UDPListener();
    UDPListener(const UDPListener&) = delete;
    UDPListener& operator=(const UDPListener&) = delete;

    // owner thread: binds a socket and starts a service thread that receives until
    // stopListening. Called while listening, it ends the running cycle first.
    void beginListening();
    // owner thread: closes the socket and waits for the service thread to end.
    void stopListening();

    // The bound port; 0 while no socket is bound.
    std::uint16_t getPort() const;
    // The accepted sender's address; empty until the first datagram.
    std::string getDeviceIPAddress() const;
    // The constructor's address until the first datagram; then the local address
    // that reaches the sender, or "Uncertain" when it could not be found.
    std::string getLocalIPAddress() const;
    // The receive buffer the system granted the bound socket, in bytes, on the scale
    // of the request (Linux books twice as much, half of it for its own overhead);
    // 0 while no socket is bound.
    std::size_t getReceiveBufferSize() const;

    // From inside the data callback: the datagram just handed over is not a reading
    // of the receiver's app. Counted as malformed for the bound port
    // (datagram_accounting.h); nothing happens while no socket is bound.
    void countMalformedDatagram();

private:
    class Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace mobilesensor
