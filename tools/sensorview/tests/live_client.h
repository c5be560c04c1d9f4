#pragma once

// Clients of the page's server for the tests, on 127.0.0.1, every wait bounded:
// a WebSocket client of the live path, and one raw HTTP exchange whose request
// bytes go out exactly as written (no client library tidies the path).

#include <boost/asio/io_context.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace sensorview::testing {

using namespace std::chrono_literals;

class LiveClient {
public:
    // Connects; a small receive buffer makes a client that does not read fall
    // behind soon. origin, when not empty, is sent as the Origin header.
    explicit LiveClient(std::uint16_t port, int receiveBuffer = 0, std::string origin = "");

    // The WebSocket handshake on the live path; the error (none when it succeeded).
    boost::beast::error_code handshake(std::chrono::milliseconds limit = 10s);
    // The handshake's answer (its status and body when refused).
    const boost::beast::websocket::response_type& response() const { return answer; }

    // One message, waiting at most limit; nothing on time-out, close or error.
    std::optional<std::string> read(std::chrono::milliseconds limit = 10s);
    bool lastWasBinary() const { return binary; }

    void close();

private:
    boost::asio::io_context context;
    boost::beast::websocket::stream<boost::beast::tcp_stream> stream;
    boost::beast::flat_buffer buffer;
    boost::beast::websocket::response_type answer;
    std::uint16_t serverPort;
    std::string originHeader;
    bool binary = false;
};

// Sends request as it is and returns everything the server answers until it
// closes the connection (or limit passes).
std::string rawExchange(std::uint16_t port, const std::string& request,
                        std::chrono::milliseconds limit = 10s);

// The status code of a raw answer ("HTTP/1.1 404 Not Found" gives 404); 0 for none.
int statusOf(const std::string& answer);

} // namespace sensorview::testing
