#pragma once

// One TCP connection before it becomes a WebSocket, as in Beast's own servers:
// reads a request (with a time limit and small size limits), answers it from the
// table of files, and keeps the connection for the next request. A GET of the
// live path that asks for a WebSocket, from this server's own page, becomes a
// WebSocket session when the hub has a place for it; otherwise it is refused.

#include "http_answer.h"

#include <atomic>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <memory>
#include <optional>

namespace sensorview {

class Hub;

struct SessionLimits {
    std::size_t clientQueue = 64; // messages waiting for one browser
};

// How many connections are in their HTTP part; each session counts itself.
using ConnectionCount = std::shared_ptr<std::atomic<std::size_t>>;

class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(boost::asio::ip::tcp::socket&& socket, const WebFiles& files,
                std::shared_ptr<Hub> hub, SessionLimits limits, ConnectionCount open);
    ~HttpSession();

    void run();

private:
    void readNext();
    void onRead(boost::beast::error_code error, std::size_t bytes);
    void upgrade(Request request);
    void write(Response response);
    void onWrite(bool keepAlive, boost::beast::error_code error, std::size_t bytes);

    boost::beast::tcp_stream stream;
    boost::beast::flat_buffer buffer;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser;
    std::shared_ptr<Response> pending; // the answer being written
    const WebFiles& files;
    std::shared_ptr<Hub> hub;
    SessionLimits limits;
    ConnectionCount openConnections;
};

} // namespace sensorview
