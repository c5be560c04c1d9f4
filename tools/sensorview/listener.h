#pragma once

// Accepts the browsers' connections, each on a strand of its own, and hands each
// to an HTTP session. Past a fixed number of connections still in their HTTP
// part, a new one is closed at once, so that a flood of connections cannot take
// every descriptor.

#include "http_session.h"

#include <boost/asio/ip/tcp.hpp>
#include <memory>

namespace sensorview {

class Hub;

class Listener : public std::enable_shared_from_this<Listener> {
public:
    // Binds and listens; throws boost::system::system_error when it cannot.
    Listener(boost::asio::io_context& context, const boost::asio::ip::tcp::endpoint& endpoint,
             const WebFiles& files, std::shared_ptr<Hub> hub, SessionLimits limits);

    void run();
    // Any thread: stops accepting.
    void close();
    std::uint16_t port() const { return boundPort; }

private:
    void acceptNext();
    void onAccept(boost::beast::error_code error, boost::asio::ip::tcp::socket socket);

    boost::asio::io_context& context;
    boost::asio::ip::tcp::acceptor acceptor;
    const WebFiles& files;
    std::shared_ptr<Hub> hub;
    SessionLimits limits;
    ConnectionCount open;
    std::uint16_t boundPort = 0;
};

// Connections in their HTTP part at once; the next ones are closed unanswered.
constexpr std::size_t MAX_HTTP_CONNECTIONS = 64;

} // namespace sensorview
