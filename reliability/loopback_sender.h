#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// A UDP socket bound to a loopback address of its own (127.0.0.1, .2 or .3: Linux
// routes the whole of 127.0.0.0/8 to the loopback interface), so that a device
// sees several senders on one computer. It sends to 127.0.0.1 only.

namespace reliability {

class LoopbackSender {
public:
    // Binds source with a port of the system's choice; throws std::system_error
    // when the address cannot be bound.
    explicit LoopbackSender(const std::string& source);
    ~LoopbackSender();
    LoopbackSender(const LoopbackSender&) = delete;
    LoopbackSender& operator=(const LoopbackSender&) = delete;

    // Sends one datagram to 127.0.0.1:port; true when the system took all of it.
    bool send(std::uint16_t port, const std::uint8_t* data, std::size_t size);
    // Datagrams the system took so far; any thread.
    std::uint64_t sent() const { return sent_.load(); }

private:
    int socket_ = -1;
    std::atomic<std::uint64_t> sent_{0};
};

} // namespace reliability
