#include "hub.h"

#include "websocket_session.h"

#include <boost/asio/post.hpp>

namespace sensorview {

namespace net = boost::asio;

Hub::Hub(net::io_context& context, std::size_t maxClients, std::string hello)
    : strand(net::make_strand(context)), limit(maxClients) {
    helloMessage.kind = MessageKind::Hello;
    helloMessage.data = std::make_shared<const std::string>(std::move(hello));
}

bool Hub::reserve() {
    std::size_t now = taken.load();
    do {
        if (now >= limit)
            return false;
    } while (!taken.compare_exchange_weak(now, now + 1));
    return true;
}

void Hub::release() { taken.fetch_sub(1); }

void Hub::publish(OutMessage message) {
    net::post(strand, [self = shared_from_this(), message = std::move(message)] {
        if (message.kind == MessageKind::Status)
            self->latestStatus = message;
        else if (message.kind == MessageKind::Frame)
            self->latestFrame = message;
        for (auto at = self->sessions.begin(); at != self->sessions.end();) {
            if (auto session = at->second.lock()) {
                session->send(message);
                ++at;
            } else {
                at = self->sessions.erase(at);
            }
        }
    });
}

void Hub::join(const std::shared_ptr<WebSocketSession>& session) {
    net::post(strand, [self = shared_from_this(), session] {
        if (self->closing) {
            session->close();
            return;
        }
        self->sessions[session->id()] = session;
        for (const auto* message : {&self->helloMessage, &self->latestStatus, &self->latestFrame}) {
            if (message->data != nullptr)
                session->send(*message);
        }
    });
}

void Hub::closeAll() {
    net::post(strand, [self = shared_from_this()] {
        self->closing = true;
        for (const auto& [id, weak] : self->sessions) {
            if (auto session = weak.lock())
                session->close();
        }
    });
}

} // namespace sensorview
