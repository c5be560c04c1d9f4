#pragma once

// A UDP socket for the tests: bound to a loopback address and port 0, it receives
// datagrams with a bounded wait and tells who sent them.

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace phonesim::testing {

struct ReceivedDatagram {
    std::vector<std::uint8_t> bytes;
    std::string sender; // dotted address
};

class UdpReceiver {
public:
    explicit UdpReceiver(const char* address = "127.0.0.1") {
        fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (fd < 0)
            throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
        // Room for a burst: the sender does not wait for the test to read.
        const int size = 4 << 20;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, address, &local.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            ::close(fd);
            throw std::runtime_error(std::string("bind: ") + std::strerror(errno));
        }
        socklen_t length = sizeof local;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
        boundPort = ntohs(local.sin_port);
    }
    ~UdpReceiver() { ::close(fd); }
    UdpReceiver(const UdpReceiver&) = delete;
    UdpReceiver& operator=(const UdpReceiver&) = delete;

    std::uint16_t port() const { return boundPort; }

    // The next datagram, or nothing when none comes within timeout.
    std::optional<ReceivedDatagram> receive(std::chrono::milliseconds timeout) {
        pollfd waiting{fd, POLLIN, 0};
        if (::poll(&waiting, 1, static_cast<int>(timeout.count())) != 1)
            return std::nullopt;
        ReceivedDatagram datagram;
        datagram.bytes.resize(65536);
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got = ::recvfrom(fd, datagram.bytes.data(), datagram.bytes.size(), 0,
                                       reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 0)
            return std::nullopt;
        datagram.bytes.resize(static_cast<std::size_t>(got));
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        datagram.sender = text;
        return datagram;
    }

    // Up to count datagrams, each waited for at most timeout.
    std::vector<ReceivedDatagram> receive(std::size_t count, std::chrono::milliseconds timeout) {
        std::vector<ReceivedDatagram> all;
        while (all.size() < count) {
            auto next = receive(timeout);
            if (!next)
                break;
            all.push_back(std::move(*next));
        }
        return all;
    }

private:
    int fd = -1;
    std::uint16_t boundPort = 0;
};

} // namespace phonesim::testing
