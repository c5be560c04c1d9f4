#include "udp_test_support.h"

#include "mobilesensor/port_search.h"

#include <algorithm>

namespace kinelink_test {

namespace asio = boost::asio;

mobilesensor::UDPListener::DataCallback Recorder::dataCallback() {
    return [this](boost::shared_array<std::uint8_t> data, std::size_t length) {
        std::string bytes(reinterpret_cast<const char*>(data.get()), length);
        if (!keepArrays_)
            data.reset();
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            datagrams_.push_back({std::move(data), length, std::move(bytes)});
        }
        changed_.notify_all();
        return true;
    };
}

mobilesensor::UDPListener::MessageCallback Recorder::errorCallback() {
    return [this](const std::string& id, const std::string& text) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            errors_.push_back({id, text});
        }
        changed_.notify_all();
    };
}

mobilesensor::UDPListener::MessageCallback Recorder::warningCallback() {
    return [this](const std::string&, const std::string&) {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++warnings_;
    };
}

bool Recorder::waitForDatagrams(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return datagrams_.size() >= count; });
}

bool Recorder::waitForErrors(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return errors_.size() >= count; });
}

std::vector<Recorder::Datagram> Recorder::datagrams() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return datagrams_;
}

std::vector<Recorder::Report> Recorder::errors() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return errors_;
}

std::size_t Recorder::warningCount() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return warnings_;
}

Sender::Sender(const std::string& fromAddress) : socket_(io_) {
    socket_.open(udp::v4());
    socket_.bind(udp::endpoint(asio::ip::make_address(fromAddress), 0));
}

void Sender::send(std::uint16_t port, const std::string& bytes) {
    boost::system::error_code ignored;
    socket_.send_to(asio::buffer(bytes),
                    udp::endpoint(asio::ip::make_address_v4("127.0.0.1"), port), 0, ignored);
}

std::uint16_t Sender::localPort() const { return socket_.local_endpoint().port(); }

bool secondLoopbackKeepsItsAddress() {
    asio::io_context io;
    udp::socket receiver(io, udp::endpoint(asio::ip::make_address_v4("127.0.0.1"), 0));
    Sender("127.0.0.2").send(receiver.local_endpoint().port(), "probe");
    char byte = 0;
    udp::endpoint source;
    receiver.receive_from(asio::buffer(&byte, 1), source, 0);
    return source.address() == asio::ip::make_address_v4("127.0.0.2");
}

bool canBind(const std::string& address, std::uint16_t port) {
    asio::io_context io;
    udp::socket probe(io);
    boost::system::error_code failure;
    probe.open(udp::v4(), failure);
    if (!failure)
        probe.bind(udp::endpoint(asio::ip::make_address(address), port), failure);
    return !failure;
}

PortHolder::PortHolder(std::string address) : address_(std::move(address)) {}

void PortHolder::hold(std::uint16_t port) {
    auto socket = std::make_unique<udp::socket>(io_);
    boost::system::error_code failure;
    socket->open(udp::v4(), failure);
    if (!failure)
        socket->bind(udp::endpoint(asio::ip::make_address(address_), port), failure);
    if (!failure)
        sockets_.push_back(std::move(socket));
}

std::uint16_t PortHolder::holdAny() {
    auto socket = std::make_unique<udp::socket>(io_);
    socket->open(udp::v4());
    socket->bind(udp::endpoint(asio::ip::make_address(address_), 0));
    const std::uint16_t port = socket->local_endpoint().port();
    sockets_.push_back(std::move(socket));
    return port;
}

void PortHolder::releaseAll() { sockets_.clear(); }

std::vector<std::uint16_t> freeSearchPorts(const std::string& address, std::size_t count) {
    std::vector<std::uint16_t> ports;
    bool sequential = false;
    for (std::uint16_t port = mobilesensor::getNextPortToTry(0, sequential);
         port != 0 && ports.size() < count;
         port = mobilesensor::getNextPortToTry(port, sequential)) {
        if (canBind(address, port))
            ports.push_back(port);
    }
    return ports;
}

std::vector<std::uint16_t> freePortsPassedBy(const std::string& address,
                                             const std::vector<std::uint16_t>& freeBefore,
                                             std::uint16_t found) {
    std::vector<std::uint16_t> passed;
    bool sequential = false;
    for (std::uint16_t port = mobilesensor::getNextPortToTry(0, sequential);
         port != 0 && port != found; port = mobilesensor::getNextPortToTry(port, sequential)) {
        if (std::find(freeBefore.begin(), freeBefore.end(), port) != freeBefore.end() &&
            canBind(address, port))
            passed.push_back(port);
    }
    return passed;
}

std::vector<std::uint16_t> fixedListPorts() {
    std::vector<std::uint16_t> ports;
    bool sequential = false;
    for (std::uint16_t port = mobilesensor::getNextPortToTry(0, sequential); !sequential;
         port = mobilesensor::getNextPortToTry(port, sequential))
        ports.push_back(port);
    return ports;
}

} // namespace kinelink_test
