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

// For each port of the search order's fixed list (50000, 60000, 51111 ... 64444),
// whether every address can bind it now.
std::vector<bool> fixedListBindableNow();

// Whether a search that bound port passed over only ports of the fixed list that
// were taken at one of two moments around it (before and after, each measured with
// fixedListBindableNow), and, past the list, bound a port of the counted range.
// Other programs take and free ports of the list at any moment, so a search is
// judged against what they held around it rather than against one earlier probe.
bool searchSkippedOnlyTakenPorts(std::uint16_t port, const std::vector<bool>& before,
                                 const std::vector<bool>& after);

// A socket bound to a loopback address (127.0.0.1 unless told) with a port of the
// system's choice; it sends to 127.0.0.1 only.
class DatagramSender {
public:
    explicit DatagramSender(const std::string& fromAddress = "127.0.0.1");
    void send(std::uint16_t port, const std::string& bytes);
    void send(std::uint16_t port, const std::vector<std::uint8_t>& bytes);
    // Whether its datagrams arrive from the address it is bound to. Wine binds a
    // socket of 127.0.0.2 to the whole loopback interface and sends from 127.0.0.1.
    bool arrivesFromItsOwnAddress();

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
