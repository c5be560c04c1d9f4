#include "udp_probe.h"

#include "mobilesensor/port_search.h"

#include <stdexcept>

namespace mobilesensor::testing {

namespace asio = boost::asio;
using boost::asio::ip::udp;

namespace {

udp::endpoint endpointOf(const std::string& address, std::uint16_t port) {
    return udp::endpoint(asio::ip::make_address(address), port);
}

} // namespace

bool canBind(const std::string& address, std::uint16_t port) {
    asio::io_context io;
    udp::socket probe(io);
    boost::system::error_code failure;
    probe.open(udp::v4(), failure);
    if (!failure)
        probe.bind(endpointOf(address, port), failure);
    return !failure;
}

std::uint16_t findFreePort() {
    // A port the system hands out to a socket on every address is free.
    asio::io_context io;
    const udp::socket probe(io, udp::endpoint(udp::v4(), 0));
    return probe.local_endpoint().port();
}

std::uint16_t findFreePortPair() {
    // One whose neighbour is free too is found within a few tries.
    for (int attempt = 0; attempt < 200; ++attempt) {
        const std::uint16_t port = findFreePort();
        if (port != 0 && port < 65535 && canBind("0.0.0.0", port) &&
            canBind("0.0.0.0", static_cast<std::uint16_t>(port + 1)))
            return port;
    }
    throw std::runtime_error("no free pair of UDP ports");
}

namespace {

std::vector<std::uint16_t> fixedList() {
    std::vector<std::uint16_t> ports;
    bool sequential = false;
    for (std::uint16_t port = getNextPortToTry(0, sequential); !sequential;
         port = getNextPortToTry(port, sequential))
        ports.push_back(port);
    return ports;
}

} // namespace

std::vector<bool> fixedListBindableNow() {
    std::vector<bool> bindable;
    for (const std::uint16_t port : fixedList())
        bindable.push_back(canBind("0.0.0.0", port));
    return bindable;
}

bool searchSkippedOnlyTakenPorts(std::uint16_t port, const std::vector<bool>& before,
                                 const std::vector<bool>& after) {
    if (port == 0)
        return false;
    const std::vector<std::uint16_t> list = fixedList();
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == port)
            return true;
        if (before.at(i) && after.at(i))
            return false; // free all along, yet passed over
    }
    return port >= 49152;
}

DatagramSender::DatagramSender(const std::string& fromAddress) : socket(io) {
    socket.open(udp::v4());
    socket.bind(endpointOf(fromAddress, 0));
}

bool DatagramSender::arrivesFromItsOwnAddress() {
    udp::socket receiver(io, endpointOf("127.0.0.1", 0));
    send(receiver.local_endpoint().port(), std::string("probe"));
    // Room for the whole datagram: Winsock fails a receive that would cut it.
    char bytes[16] = {};
    udp::endpoint source;
    receiver.receive_from(asio::buffer(bytes), source);
    return source.address() == socket.local_endpoint().address();
}

void DatagramSender::send(std::uint16_t port, const std::string& bytes) {
    socket.send_to(asio::buffer(bytes), endpointOf("127.0.0.1", port));
}

void DatagramSender::send(std::uint16_t port, const std::vector<std::uint8_t>& bytes) {
    socket.send_to(asio::buffer(bytes), endpointOf("127.0.0.1", port));
}

bool PortHolder::hold(std::uint16_t port) {
    auto socket = std::make_unique<udp::socket>(io);
    boost::system::error_code failure;
    socket->open(udp::v4(), failure);
    if (!failure)
        socket->bind(endpointOf("0.0.0.0", port), failure);
    if (failure)
        return false;
    sockets.push_back(std::move(socket));
    return true;
}

} // namespace mobilesensor::testing
