#pragma once

// One browser's WebSocket: the live data goes out in order, one write at a time,
// from a bounded outbox; what the browser sends is read and dropped (the stream
// needs reads to answer pings and the closing handshake). Everything runs on the
// session's strand. The session holds its place in the hub until it ends.

#include "http_answer.h"
#include "outbox.h"

#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <cstdint>
#include <memory>

namespace sensorview {

class Hub;

class WebSocketSession : public std::enable_shared_from_this<WebSocketSession> {
public:
    // The session owns the place in the hub that its HTTP session reserved.
    WebSocketSession(boost::asio::ip::tcp::socket&& socket, std::shared_ptr<Hub> hub,
                     std::size_t queueCapacity);
    ~WebSocketSession();

    // Takes the upgrade request and answers the handshake.
    void run(Request request);

    // Any thread.
    void send(OutMessage message);
    void close();

    std::uint64_t id() const { return sessionId; }

private:
    void onAccept(boost::beast::error_code error);
    void readNext();
    void onRead(boost::beast::error_code error, std::size_t bytes);
    void writeNext();
    void onWrite(boost::beast::error_code error, std::size_t bytes);

    boost::beast::websocket::stream<boost::beast::tcp_stream> stream;
    std::shared_ptr<Hub> hub;
    const std::uint64_t sessionId;
    boost::beast::flat_buffer incoming;
    Outbox outbox;
    OutMessage inFlight; // keeps the bytes of the write under way
    bool writing = false;
    bool closing = false;
};

} // namespace sensorview
