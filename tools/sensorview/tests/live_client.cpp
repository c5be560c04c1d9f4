#include "live_client.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

namespace sensorview::testing {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
namespace websocket = beast::websocket;
using tcp = net::ip::tcp;

namespace {

// Runs the context until done or limit; what is still under way is cancelled.
void runFor(net::io_context& context, const bool& done, std::chrono::milliseconds limit,
            beast::tcp_stream& stream) {
    context.restart();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done && std::chrono::steady_clock::now() < deadline)
        context.run_one_for(deadline - std::chrono::steady_clock::now());
    if (!done) {
        stream.cancel();
        context.restart();
        context.run_for(1s);
    }
}

tcp::endpoint loopback(std::uint16_t port) {
    return tcp::endpoint(net::ip::make_address("127.0.0.1"), port);
}

} // namespace

LiveClient::LiveClient(std::uint16_t port, int receiveBuffer, std::string origin)
    : stream(context), serverPort(port), originHeader(std::move(origin)) {
    auto& socket = beast::get_lowest_layer(stream).socket();
    socket.open(tcp::v4());
    if (receiveBuffer > 0)
        socket.set_option(net::socket_base::receive_buffer_size(receiveBuffer));
    socket.connect(loopback(port));
}

beast::error_code LiveClient::handshake(std::chrono::milliseconds limit) {
    stream.set_option(websocket::stream_base::decorator([this](websocket::request_type& request) {
        if (!originHeader.empty())
            request.set(http::field::origin, originHeader);
    }));
    bool done = false;
    beast::error_code result = net::error::timed_out;
    stream.async_handshake(answer, "127.0.0.1:" + std::to_string(serverPort), "/live",
                           [&](beast::error_code error) {
                               result = error;
                               done = true;
                           });
    runFor(context, done, limit, beast::get_lowest_layer(stream));
    return result;
}

std::optional<std::string> LiveClient::read(std::chrono::milliseconds limit) {
    bool done = false;
    beast::error_code result = net::error::timed_out;
    buffer.clear();
    stream.async_read(buffer, [&](beast::error_code error, std::size_t) {
        result = error;
        done = true;
    });
    runFor(context, done, limit, beast::get_lowest_layer(stream));
    if (result)
        return std::nullopt;
    binary = stream.got_binary();
    return beast::buffers_to_string(buffer.data());
}

void LiveClient::close() {
    bool done = false;
    stream.async_close(websocket::close_code::normal, [&](beast::error_code) { done = true; });
    runFor(context, done, 5s, beast::get_lowest_layer(stream));
}

std::string rawExchange(std::uint16_t port, const std::string& request,
                        std::chrono::milliseconds limit) {
    net::io_context context;
    beast::tcp_stream stream(context);
    stream.socket().connect(loopback(port));
    std::string answer;
    bool done = false;
    net::async_write(stream, net::buffer(request), [&](beast::error_code error, std::size_t) {
        if (error) {
            done = true;
            return;
        }
        net::async_read(stream, net::dynamic_buffer(answer),
                        [&](beast::error_code, std::size_t) { done = true; });
    });
    runFor(context, done, limit, stream);
    return answer;
}

int statusOf(const std::string& answer) {
    if (answer.rfind("HTTP/1.1 ", 0) != 0 || answer.size() < 12)
        return 0;
    return std::stoi(answer.substr(9, 3));
}

} // namespace sensorview::testing
