#include "loopback_sender.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace reliability {

namespace {

sockaddr_in loopbackAddress(const std::string& address, std::uint16_t port) {
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &endpoint.sin_addr) != 1)
        throw std::system_error(EINVAL, std::generic_category(), "not an IPv4 address: " + address);
    return endpoint;
}

} // namespace

LoopbackSender::LoopbackSender(const std::string& source) {
    const sockaddr_in local = loopbackAddress(source, 0);
    socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0)
        throw std::system_error(errno, std::generic_category(), "socket");
    if (::bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int failure = errno;
        ::close(socket_);
        throw std::system_error(failure, std::generic_category(), "bind " + source);
    }
}

LoopbackSender::~LoopbackSender() { ::close(socket_); }

bool LoopbackSender::send(std::uint16_t port, const std::uint8_t* data, std::size_t size) {
    const sockaddr_in target = loopbackAddress("127.0.0.1", port);
    const ssize_t written =
        ::sendto(socket_, data, size, 0, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    if (written < 0 || static_cast<std::size_t>(written) != size)
        return false;
    sent_.fetch_add(1);
    return true;
}

} // namespace reliability
