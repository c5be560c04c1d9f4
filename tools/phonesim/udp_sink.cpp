#include "udp_sink.h"

#include "tools/common/option_parser.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace phonesim {

namespace asio = boost::asio;
using asio::ip::udp;

namespace {

std::string text(const udp::endpoint& endpoint) {
    std::ostringstream out;
    out << endpoint; // "[::1]:50000" for IPv6
    return out.str();
}

} // namespace

struct UdpSink::Socket {
    asio::io_context context;
    udp::socket socket{context};
    udp::endpoint target;
};

UdpSink::UdpSink(const std::string& host, std::uint16_t port, const std::string& bindAddress)
    : socket(std::make_unique<Socket>()) {
    boost::system::error_code error;
    std::optional<asio::ip::address> local;
    if (!bindAddress.empty()) {
        local = asio::ip::make_address(bindAddress, error);
        if (error)
            throw kxtools::UsageError("--bind: '" + bindAddress + "' is not an IP address");
    }

    udp::resolver resolver(socket->context);
    const auto results = resolver.resolve(host, std::to_string(port), error);
    if (error || results.empty())
        throw std::runtime_error("cannot resolve host '" + host +
                                 "': " + (error ? error.message() : "no address"));
    // The same family as the bind address; otherwise IPv4 first, as the sensor
    // devices listen on IPv4, and IPv6 only for a host that has nothing else.
    std::optional<udp::endpoint> chosen;
    for (const auto& entry : results) {
        const udp::endpoint& candidate = entry.endpoint();
        const bool v4 = candidate.address().is_v4();
        if (local ? v4 == local->is_v4() : v4) {
            chosen = candidate;
            break;
        }
        if (!local && !chosen)
            chosen = candidate;
    }
    if (!chosen)
        throw std::runtime_error("host '" + host + "' has no " +
                                 (local->is_v4() ? "IPv4" : "IPv6") + " address to send to from " +
                                 bindAddress);
    socket->target = *chosen;

    socket->socket.open(socket->target.protocol(), error);
    if (error)
        throw std::runtime_error("cannot open a UDP socket: " + error.message());
    if (local) {
        socket->socket.bind(udp::endpoint(*local, 0), error);
        if (error)
            throw std::runtime_error("cannot send from " + bindAddress + ": " + error.message());
    }
}

UdpSink::~UdpSink() = default;

void UdpSink::send(const std::vector<std::uint8_t>& bytes) {
    boost::system::error_code error;
    socket->socket.send_to(asio::buffer(bytes), socket->target, 0, error);
    if (error)
        throw std::runtime_error("cannot send to " + destination() + ": " + error.message());
}

std::string UdpSink::destination() const { return text(socket->target); }

std::string UdpSink::source() const {
    boost::system::error_code error;
    const auto local = socket->socket.local_endpoint(error);
    return error ? std::string("(unbound)") : text(local);
}

} // namespace phonesim
