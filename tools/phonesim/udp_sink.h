#pragma once

// The real sink: a UDP socket that sends every datagram to one host and port,
// optionally from a chosen local address.

#include "send_loop.h"

#include <cstdint>
#include <memory>
#include <string>

namespace phonesim {

class UdpSink : public DatagramSink {
public:
    // Resolves host (a name or an address; IPv4 preferred) and opens the socket,
    // bound to bindAddress when it is not empty. Throws kxtools::UsageError for a
    // bind address that is not an IP address, std::runtime_error when the host
    // cannot be resolved or the socket cannot be opened or bound.
    UdpSink(const std::string& host, std::uint16_t port, const std::string& bindAddress);
    ~UdpSink() override;

    void send(const std::vector<std::uint8_t>& bytes) override;

    // The address and port datagrams go to, as "127.0.0.1:50000".
    std::string destination() const;
    // The local address and port they come from.
    std::string source() const;

private:
    struct Socket;
    std::unique_ptr<Socket> socket;
};

} // namespace phonesim
