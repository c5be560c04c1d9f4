#pragma once

// The meeting point of acquisition and the browsers. Acquisition threads publish
// messages; the hub, on a strand of its own, hands each to every browser's
// session, whose own strand puts it in that browser's outbox. Publishing only
// posts, so a slow browser never holds up the thread that publishes.
//
// The hub also keeps what a browser that joins later needs at once: the hello
// message, the latest status and the latest frame.

#include "outbox.h"

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/strand.hpp>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

namespace sensorview {

class WebSocketSession;

class Hub : public std::enable_shared_from_this<Hub> {
public:
    Hub(boost::asio::io_context& context, std::size_t maxClients, std::string hello);

    // Any thread: a place for one more browser, or false when all are taken. Every
    // place taken is given back with release.
    bool reserve();
    void release();
    std::size_t clients() const { return taken.load(); }
    std::size_t maxClients() const { return limit; }

    // Any thread.
    void publish(OutMessage message);

    // A session whose handshake is done joins and gets the hello, the latest
    // status and the latest frame. The hub keeps it weakly: a session that ended
    // is dropped at the next message. Any thread.
    void join(const std::shared_ptr<WebSocketSession>& session);
    // Closes every session (Ctrl-C). Any thread.
    void closeAll();

    std::uint64_t nextSessionId() { return sessionIds.fetch_add(1) + 1; }

private:
    boost::asio::strand<boost::asio::io_context::executor_type> strand;
    const std::size_t limit;
    std::atomic<std::size_t> taken{0};
    std::atomic<std::uint64_t> sessionIds{0};
    // On the strand only.
    std::map<std::uint64_t, std::weak_ptr<WebSocketSession>> sessions;
    OutMessage helloMessage;
    OutMessage latestStatus;
    OutMessage latestFrame;
    bool closing = false;
};

} // namespace sensorview
