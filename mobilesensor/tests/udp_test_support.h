#pragma once

#include "mobilesensor/udp_listener.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Helpers of the listener tests: a recorder for the callbacks, senders bound to a
// chosen loopback address, and sockets that hold ports so the search must skip them.

namespace kinelink_test {

using boost::asio::ip::udp;

// What the listener's callbacks saw. The callbacks only record (on the service
// thread); tests wait for states here and assert on their own thread.
class Recorder {
public:
    // keepArrays: hold on to every delivered array, as a receiver may; otherwise copy
    // the bytes and let the array go, as the devices do.
    explicit Recorder(bool keepArrays = true) : keepArrays_(keepArrays) {}

    struct Datagram {
        boost::shared_array<std::uint8_t> data; // null unless arrays are kept
        std::size_t length;
        std::string bytes; // the first `length` bytes, copied on arrival
    };
    struct Report {
        std::string id;
        std::string text;
    };

    mobilesensor::UDPListener::DataCallback dataCallback();
    mobilesensor::UDPListener::MessageCallback errorCallback();
    mobilesensor::UDPListener::MessageCallback warningCallback();

    bool waitForDatagrams(std::size_t count, std::chrono::milliseconds timeout = kWait);
    bool waitForErrors(std::size_t count, std::chrono::milliseconds timeout = kWait);

    std::vector<Datagram> datagrams() const;
    std::vector<Report> errors() const;
    std::size_t warningCount() const;

    static constexpr std::chrono::milliseconds kWait{10000};

private:
    const bool keepArrays_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Datagram> datagrams_;
    std::vector<Report> errors_;
    std::size_t warnings_ = 0;
};

// A UDP socket bound to a loopback address with a port of the system's choice.
class Sender {
public:
    explicit Sender(const std::string& fromAddress);
    // Sends to 127.0.0.1:port; failures (nobody listening) are ignored.
    void send(std::uint16_t port, const std::string& bytes);
    std::uint16_t localPort() const;

private:
    boost::asio::io_context io_;
    udp::socket socket_;
};

// Whether a datagram sent from a socket bound to 127.0.0.2 arrives with that source
// address. Wine binds such a socket to every address of the loopback interface, and
// it then sends from 127.0.0.1.
bool secondLoopbackKeepsItsAddress();

// Whether address:port can be bound right now.
bool canBind(const std::string& address, std::uint16_t port);

// Keeps ports of an address bound for as long as it lives. A port that someone else
// holds already is taken all the same.
class PortHolder {
public:
    explicit PortHolder(std::string address = "127.0.0.1");
    void hold(std::uint16_t port);
    // Binds a port of the system's choice and returns it.
    std::uint16_t holdAny();
    void releaseAll();

private:
    std::string address_;
    boost::asio::io_context io_;
    std::vector<std::unique_ptr<udp::socket>> sockets_;
};

// The first `count` ports of the search order that can be bound on address right
// now, in that order.
std::vector<std::uint16_t> freeSearchPorts(const std::string& address, std::size_t count = 8);

// The ports of freeBefore (freeSearchPorts just before a listener searched) that come
// before `found` in the search order and can still be bound now, while the listener
// holds `found`: ports its search went past although they were free. A port that
// another program on the machine held during the search is not free at one of the
// two looks, so neighbours cannot put a port here (unless one took a port and let it
// go again between the looks, a fraction of a millisecond).
std::vector<std::uint16_t> freePortsPassedBy(const std::string& address,
                                             const std::vector<std::uint16_t>& freeBefore,
                                             std::uint16_t found);

// The 15 ports of the fixed list: 50000, 60000, 51111 ... 64444.
std::vector<std::uint16_t> fixedListPorts();

} // namespace kinelink_test
