#include "queued_datagrams.h"

#include <boost/asio/buffer.hpp>
#include <boost/asio/error.hpp>

namespace mobilesensor {

namespace asio = boost::asio;
using boost::asio::ip::udp;

// A sleep lasts a timer tick (15.6 ms unless a program asked the whole system for
// finer ticks): far more delay than a wake-up per datagram costs. Never paused.
std::chrono::microseconds QueuedDatagrams::gatherPause() { return std::chrono::microseconds(0); }

QueuedDatagrams::QueuedDatagrams(std::function<void(const boost::system::error_code&)> ready)
    : ready_(std::move(ready)), slots_(1) {
    slots_.front().bytes.reset(new std::uint8_t[MAX_DATAGRAM]);
}

void QueuedDatagrams::await(udp::socket& socket) {
    // An overlapped receive: the wait ends with the first datagram in hand.
    holding_ = false;
    Slot& slot = slots_.front();
    socket.async_receive_from(asio::buffer(slot.bytes.get(), MAX_DATAGRAM), slot.sender,
                              [this](const boost::system::error_code& error, std::size_t bytes) {
                                  // A datagram longer than the buffer (it cannot be longer than
                                  // MAX_DATAGRAM, but should the system say so) is held cut. Any
                                  // other failure, cancellation included, is the wait's answer.
                                  if (error && error != asio::error::message_size) {
                                      ready_(error);
                                      return;
                                  }
                                  slots_.front().length = error ? MAX_DATAGRAM : bytes;
                                  holding_ = true;
                                  ready_(boost::system::error_code());
                              });
}

std::size_t QueuedDatagrams::read(udp::socket& socket, boost::system::error_code& failure) {
    // Asking a socket that would wait could never be stopped: a blocking one is read
    // only by the overlapped receive.
    const bool withoutWaiting = socket.non_blocking();
    if (holding_) {
        holding_ = false;
        mayHoldMore_ = withoutWaiting;
        return 1;
    }
    mayHoldMore_ = false;
    if (!withoutWaiting)
        return 0;
    Slot& slot = slots_.front();
    boost::system::error_code error;
    slot.length =
        socket.receive_from(asio::buffer(slot.bytes.get(), MAX_DATAGRAM), slot.sender, 0, error);
    if (error == asio::error::would_block || error == asio::error::try_again)
        return 0; // nothing queued: back to the event loop
    if (error == asio::error::message_size) {
        slot.length = MAX_DATAGRAM;
    } else if (error) {
        failure = error;
        return 0;
    }
    mayHoldMore_ = true;
    return 1;
}

} // namespace mobilesensor
