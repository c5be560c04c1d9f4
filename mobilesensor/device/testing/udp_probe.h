#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Loopback helpers for the tests of the sensor devices: a sender, port probes, and a
// holder that keeps ports taken. Everything talks to 127.0.0.1 only.

namespace mobilesensor::testing {

// Whether a UDP socket can bind address:port right now ("0.0.0.0": every address,
// as a device without "IPAddress" binds).
bool canBind(const std::string& address, std::uint16_t port);

// A port that every address can bind now.
std::uint16_t findFreePort();

// A port that every address can bind now, and whose neighbour port + 1 can too.
std::uint16_t findFreePortPair();

// The port a searching listener binds now: the first candidate of the search order
// that every address can bind; 0 when none can.
std::uint16_t expectedSearchPort();

// A socket bound to 127.0.0.1 with a port of the system's choice; it sends to
// 127.0.0.1 only.
class DatagramSender {
public:
    DatagramSender();
    void send(std::uint16_t port, const std::string& bytes);
    void send(std::uint16_t port, const std::vector<std::uint8_t>& bytes);

private:
    boost::asio::io_context io;
    boost::asio::ip::udp::socket socket;
};

// Keeps ports bound on every address for as long as it lives.
class PortHolder {
public:
    // True when the port was free and is now held.
    bool hold(std::uint16_t port);

private:
    boost::asio::io_context io;
    std::vector<std::unique_ptr<boost::asio::ip::udp::socket>> sockets;
};

} // namespace mobilesensor::testing
