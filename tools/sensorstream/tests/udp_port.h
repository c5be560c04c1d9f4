#pragma once

// A UDP socket of the test on a loopback address: to find a free port (bind port
// 0, read it, close) or to keep a port busy.

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace sensorstream::testing {

class UdpPort {
public:
    explicit UdpPort(std::uint16_t port = 0, const char* address = "127.0.0.1") {
        fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (fd < 0)
            throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        ::inet_pton(AF_INET, address, &local.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            ::close(fd);
            throw std::runtime_error(std::string("bind: ") + std::strerror(errno));
        }
        socklen_t length = sizeof local;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
        bound = ntohs(local.sin_port);
    }
    ~UdpPort() { ::close(fd); }
    UdpPort(const UdpPort&) = delete;
    UdpPort& operator=(const UdpPort&) = delete;

    std::uint16_t port() const { return bound; }

private:
    int fd = -1;
    std::uint16_t bound = 0;
};

// A port that was free a moment ago. The tests that use it hold the udp-ports lock,
// so no other test of this project takes it in between.
inline std::uint16_t freeUdpPort() { return UdpPort().port(); }

} // namespace sensorstream::testing
