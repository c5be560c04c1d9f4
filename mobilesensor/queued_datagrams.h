#pragma once

#include <boost/asio/ip/udp.hpp>
#include <boost/system/error_code.hpp>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Internal to kinelink: how the listener's service thread waits for datagrams and
// then reads the ones its socket holds, each whole with its sender, without a trip
// through the event loop per datagram.
//
// On Linux a wait is a wait for readability, and one recvmmsg call reads a batch of
// queued datagrams. On Windows a wait is an overlapped receive of the first datagram,
// and each further queued datagram takes one non-blocking receive.

namespace mobilesensor {

class QueuedDatagrams {
public:
    // Room for any UDP datagram. Receiving into less lets the socket layer truncate,
    // and Winsock then fails the overlapped receive with WSAEMSGSIZE while still
    // queueing its completion, which Boost.Asio 1.74 completes a second time (a
    // crash). The listener cuts datagrams to its receive size itself.
    static constexpr std::size_t MAX_DATAGRAM = 65536;

    // How long the listener may sleep, after reading the socket empty, to let the
    // datagrams of a fast stream gather instead of being woken for each: zero where
    // the system's sleeps are too coarse for that (udp_listener.cpp).
    static std::chrono::microseconds gatherPause();

    struct Datagram {
        const std::uint8_t* bytes;
        std::size_t length;
        const boost::asio::ip::udp::endpoint* sender;
    };

    // ready: called on the socket's event loop once datagrams may be read, or with the
    // error that ended the wait (cancelled when the socket closes).
    explicit QueuedDatagrams(std::function<void(const boost::system::error_code&)> ready);
    QueuedDatagrams(const QueuedDatagrams&) = delete;
    QueuedDatagrams& operator=(const QueuedDatagrams&) = delete;

    // Starts a wait that ends in the `ready` callback. Throws what Asio throws when the
    // wait cannot be started.
    void await(boost::asio::ip::udp::socket& socket);

    // Reads what is queued without waiting, the datagram the wait received first (if
    // it did), and returns how many datagrams were read, in the order they arrived
    // (datagram(i)). `failure` is set when the socket failed (reception then ends);
    // the datagrams read before the failure still count.
    std::size_t read(boost::asio::ip::udp::socket& socket, boost::system::error_code& failure);

    // Valid until the next read or await.
    Datagram datagram(std::size_t index) const {
        const Slot& slot = slots_[index];
        return {slot.bytes.get(), slot.length, &slot.sender};
    }

    // False once a read found the queue empty: reading again would find nothing
    // until the next wait.
    bool mayHoldMore() const { return mayHoldMore_; }

private:
    const std::function<void(const boost::system::error_code&)> ready_;
    struct Slot {
        std::unique_ptr<std::uint8_t[]> bytes;
        std::size_t length = 0;
        boost::asio::ip::udp::endpoint sender;
    };
    std::vector<Slot> slots_;
    bool mayHoldMore_ = false;
    // Windows: the wait's receive left its datagram in the first slot. (Linux waits
    // without receiving.)
    [[maybe_unused]] bool holding_ = false;
};

} // namespace mobilesensor
