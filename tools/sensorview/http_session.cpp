#include "http_session.h"

#include "hub.h"
#include "websocket_session.h"

#include <boost/asio/dispatch.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>

namespace sensorview {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
namespace websocket = beast::websocket;

namespace {

constexpr auto REQUEST_TIME_LIMIT = std::chrono::seconds(30);
// A GET carries no body; the limits keep a wrong request small.
constexpr std::uint32_t HEADER_LIMIT = 8192;
constexpr std::uint64_t BODY_LIMIT = 4096;

} // namespace

HttpSession::HttpSession(net::ip::tcp::socket&& socket, const WebFiles& webFiles,
                         std::shared_ptr<Hub> owner, SessionLimits sessionLimits,
                         ConnectionCount open)
    : stream(std::move(socket)), files(webFiles), hub(std::move(owner)), limits(sessionLimits),
      openConnections(std::move(open)) {
    openConnections->fetch_add(1);
}

HttpSession::~HttpSession() { openConnections->fetch_sub(1); }

void HttpSession::run() {
    // On the connection's strand from the first read on.
    net::dispatch(stream.get_executor(),
                  beast::bind_front_handler(&HttpSession::readNext, shared_from_this()));
}

void HttpSession::readNext() {
    parser.emplace();
    parser->header_limit(HEADER_LIMIT);
    parser->body_limit(BODY_LIMIT);
    stream.expires_after(REQUEST_TIME_LIMIT);
    http::async_read(stream, buffer, *parser,
                     beast::bind_front_handler(&HttpSession::onRead, shared_from_this()));
}

void HttpSession::onRead(beast::error_code error, std::size_t) {
    if (error == http::error::end_of_stream) {
        stream.socket().shutdown(net::ip::tcp::socket::shutdown_send, error);
        return;
    }
    if (error)
        return; // timed out, too large or broken: the connection just closes
    Request request = parser->release();
    if (websocket::is_upgrade(request)) {
        upgrade(std::move(request));
        return;
    }
    write(answerRequest(request, files, hub->clients() >= hub->maxClients(), hub->maxClients()));
}

void HttpSession::upgrade(Request request) {
    if (request.target() != LIVE_PATH) {
        write(plainAnswer(request, http::status::not_found, "Not Found"));
        return;
    }
    if (!fromOwnPage(request)) {
        write(plainAnswer(request, http::status::forbidden,
                          "Forbidden: the live data is for this server's own page"));
        return;
    }
    if (!hub->reserve()) {
        write(refusal(request, hub->maxClients()));
        return;
    }
    std::make_shared<WebSocketSession>(stream.release_socket(), hub, limits.clientQueue)
        ->run(std::move(request));
}

void HttpSession::write(Response response) {
    const bool keepAlive = response.keep_alive();
    pending = std::make_shared<Response>(std::move(response));
    http::async_write(
        stream, *pending,
        beast::bind_front_handler(&HttpSession::onWrite, shared_from_this(), keepAlive));
}

void HttpSession::onWrite(bool keepAlive, beast::error_code error, std::size_t) {
    pending.reset();
    if (error)
        return;
    if (!keepAlive) {
        stream.socket().shutdown(net::ip::tcp::socket::shutdown_send, error);
        return;
    }
    readNext();
}

} // namespace sensorview
