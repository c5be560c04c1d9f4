#include "websocket_session.h"

#include "hub.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <chrono>

namespace sensorview {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
namespace websocket = beast::websocket;

namespace {

// The page sends nothing but the closing handshake: a small limit is enough.
constexpr std::size_t MAX_INCOMING_MESSAGE = 4096;

// What the system may hold for a browser that reads slowly: a few frames (the
// system doubles it). Left to itself it takes megabytes, seconds of pictures that
// every later reading would queue behind; beyond this the outbox holds the rest,
// where a newer frame replaces a waiting one and the misses are told.
constexpr int SEND_BUFFER_BYTES = 64 * 1024;

// A browser answers pings by itself; one that has said nothing for this long
// (gone, or stalled so that it reads nothing) is closed and its place freed.
websocket::stream_base::timeout liveTimeouts() {
    auto timeouts = websocket::stream_base::timeout::suggested(beast::role_type::server);
    timeouts.idle_timeout = std::chrono::seconds(30);
    timeouts.keep_alive_pings = true;
    return timeouts;
}

} // namespace

WebSocketSession::WebSocketSession(net::ip::tcp::socket&& socket, std::shared_ptr<Hub> owner,
                                   std::size_t queueCapacity)
    : stream(std::move(socket)), hub(std::move(owner)), sessionId(hub->nextSessionId()),
      outbox(queueCapacity) {}

WebSocketSession::~WebSocketSession() { hub->release(); }

void WebSocketSession::run(Request request) {
    beast::get_lowest_layer(stream).expires_never(); // the stream's own timeouts from here on
    // A small readings message goes out at once, not held back until the browser
    // acknowledges the last bytes of a frame before it (Nagle's algorithm).
    beast::error_code ignored;
    auto& socket = beast::get_lowest_layer(stream).socket();
    socket.set_option(net::ip::tcp::no_delay(true), ignored);
    socket.set_option(net::socket_base::send_buffer_size(SEND_BUFFER_BYTES), ignored);
    stream.set_option(liveTimeouts());
    stream.set_option(websocket::stream_base::decorator([](websocket::response_type& response) {
        response.set(http::field::server, "sensorview");
    }));
    stream.read_message_max(MAX_INCOMING_MESSAGE);
    stream.async_accept(request,
                        beast::bind_front_handler(&WebSocketSession::onAccept, shared_from_this()));
}

void WebSocketSession::onAccept(beast::error_code error) {
    if (error)
        return;
    hub->join(shared_from_this());
    readNext();
}

void WebSocketSession::readNext() {
    stream.async_read(incoming,
                      beast::bind_front_handler(&WebSocketSession::onRead, shared_from_this()));
}

void WebSocketSession::onRead(beast::error_code error, std::size_t) {
    if (error)
        return; // closed, timed out or broken: the session ends with its last handler
    incoming.consume(incoming.size());
    readNext();
}

void WebSocketSession::send(OutMessage message) {
    net::post(stream.get_executor(), [self = shared_from_this(), message = std::move(message)] {
        if (self->closing)
            return;
        self->outbox.push(message);
        if (!self->writing)
            self->writeNext();
    });
}

void WebSocketSession::writeNext() {
    auto message = outbox.next();
    if (!message) {
        writing = false;
        return;
    }
    writing = true;
    inFlight = std::move(*message);
    stream.binary(inFlight.binary());
    stream.async_write(net::buffer(*inFlight.data),
                       beast::bind_front_handler(&WebSocketSession::onWrite, shared_from_this()));
}

void WebSocketSession::onWrite(beast::error_code error, std::size_t) {
    inFlight = OutMessage();
    if (error) {
        closing = true; // nothing more is queued for a browser that cannot take it
        return;
    }
    writeNext();
}

void WebSocketSession::close() {
    net::post(stream.get_executor(), [self = shared_from_this()] {
        if (self->closing)
            return;
        self->closing = true;
        self->stream.async_close(websocket::close_code::going_away, [self](beast::error_code) {});
    });
}

} // namespace sensorview
