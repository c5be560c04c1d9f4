#pragma once

// The page's server: one I/O thread runs the listener, the HTTP and WebSocket
// sessions and the hub, each on its own strand, so nothing there takes a lock.
// Acquisition threads only publish to the hub.

#include "hub.h"
#include "listener.h"
#include "web_files.h"

#include <boost/asio/io_context.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace sensorview {

struct ServerSettings {
    std::string address = "127.0.0.1";
    std::uint16_t port = 0; // 0: a free port the system picks
    std::size_t maxClients = 4;
    std::size_t clientQueue = 64;
};

class ViewServer {
public:
    // Binds the page's port. Throws std::runtime_error saying which address and
    // port could not be had, and why.
    ViewServer(const ServerSettings& settings, WebFiles files, std::string hello);
    ~ViewServer(); // stops

    ViewServer(const ViewServer&) = delete;
    ViewServer& operator=(const ViewServer&) = delete;

    // Starts the I/O thread.
    void start();
    // Stops accepting, closes every browser's WebSocket, waits up to grace for
    // the closing handshakes, then ends the I/O thread.
    void stop(std::chrono::milliseconds grace = std::chrono::milliseconds(1000));

    std::uint16_t port() const { return listener->port(); }
    Hub& hub() { return *sharedHub; }

private:
    boost::asio::io_context context;
    WebFiles webFiles;
    std::shared_ptr<Hub> sharedHub;
    std::shared_ptr<Listener> listener;
    std::thread thread;
};

} // namespace sensorview
