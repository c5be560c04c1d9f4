#include "listener.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>

namespace sensorview {

namespace beast = boost::beast;
namespace net = boost::asio;
using tcp = net::ip::tcp;

Listener::Listener(net::io_context& ioContext, const tcp::endpoint& endpoint,
                   const WebFiles& webFiles, std::shared_ptr<Hub> owner,
                   SessionLimits sessionLimits)
    : context(ioContext), acceptor(net::make_strand(ioContext)), files(webFiles),
      hub(std::move(owner)), limits(sessionLimits),
      open(std::make_shared<std::atomic<std::size_t>>(0)) {
    acceptor.open(endpoint.protocol());
    acceptor.set_option(net::socket_base::reuse_address(true));
    acceptor.bind(endpoint);
    acceptor.listen(net::socket_base::max_listen_connections);
    boundPort = acceptor.local_endpoint().port();
}

void Listener::run() {
    net::dispatch(acceptor.get_executor(),
                  beast::bind_front_handler(&Listener::acceptNext, shared_from_this()));
}

void Listener::close() {
    net::post(acceptor.get_executor(), [self = shared_from_this()] {
        beast::error_code ignored;
        self->acceptor.close(ignored);
    });
}

void Listener::acceptNext() {
    acceptor.async_accept(net::make_strand(context),
                          beast::bind_front_handler(&Listener::onAccept, shared_from_this()));
}

void Listener::onAccept(beast::error_code error, tcp::socket socket) {
    if (error == net::error::operation_aborted || !acceptor.is_open())
        return; // closed
    if (!error) {
        if (open->load() < MAX_HTTP_CONNECTIONS)
            std::make_shared<HttpSession>(std::move(socket), files, hub, limits, open)->run();
        // else the socket closes here, unanswered
    }
    // A failed accept (no descriptor left, say) must not end the listening.
    acceptNext();
}

} // namespace sensorview
