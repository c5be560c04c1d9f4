#pragma once

#include "conduit/kit/mutex.h"
#include "datagram_accounting.h"

#include <atomic>
#include <boost/asio/ip/udp.hpp>
#include <cstdint>
#include <memory>
#include <vector>

// Internal to kinelink: where the listeners record, port by port, what became of
// the datagrams they received (datagram_accounting.h). A port's account is made
// when a listener first binds the port and kept for the life of the process.

namespace mobilesensor {

class PortAccount {
public:
    explicit PortAccount(std::uint16_t port) : port_(port) {}

    // The listener's service thread, for every datagram: lock-free.
    void received() { received_.fetch_add(1, std::memory_order_relaxed); }
    void fromOtherSender() { fromOtherSenders_.fetch_add(1, std::memory_order_relaxed); }
    void delivered() { delivered_.fetch_add(1, std::memory_order_relaxed); }
    void malformed() { malformed_.fetch_add(1, std::memory_order_relaxed); }

    // A socket bound to the port: its drop counter is read live until it closes.
    void socketOpened(boost::asio::ip::udp::socket& socket) KX_EXCLUDES(socketsMutex_);
    // Before the socket closes: its last drop count joins the totals and is returned.
    std::uint64_t socketClosing(boost::asio::ip::udp::socket& socket) KX_EXCLUDES(socketsMutex_);

    DatagramAccounting read() const KX_EXCLUDES(socketsMutex_);

private:
    const std::uint16_t port_;
    std::atomic<std::uint64_t> received_{0};
    std::atomic<std::uint64_t> fromOtherSenders_{0};
    std::atomic<std::uint64_t> delivered_{0};
    std::atomic<std::uint64_t> malformed_{0};
    // A socket's drop counter is read only while the socket is listed, and it is
    // taken off the list before it closes, so a reader never reads a closed (or
    // reused) descriptor. Reading the counter touches nothing the receiving thread
    // changes.
    mutable conduit::kit::Mutex socketsMutex_;
    std::vector<boost::asio::ip::udp::socket*> openSockets_ KX_GUARDED_BY(socketsMutex_);
    std::uint64_t droppedByClosedSockets_ KX_GUARDED_BY(socketsMutex_) = 0;
};

// The account of port, made on first use. Any thread.
std::shared_ptr<PortAccount> portAccount(std::uint16_t port);

} // namespace mobilesensor
