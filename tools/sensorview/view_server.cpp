#include "view_server.h"

#include <boost/asio/ip/address.hpp>
#include <boost/system/system_error.hpp>
#include <cstdio>
#include <exception>
#include <stdexcept>

namespace sensorview {

namespace net = boost::asio;

namespace {

std::shared_ptr<Listener> listenOn(net::io_context& context, const ServerSettings& settings,
                                   const WebFiles& files, std::shared_ptr<Hub> hub) {
    const std::string where = settings.address + ":" + std::to_string(settings.port);
    try {
        const net::ip::tcp::endpoint endpoint(net::ip::make_address(settings.address),
                                              settings.port);
        return std::make_shared<Listener>(context, endpoint, files, std::move(hub),
                                          SessionLimits{settings.clientQueue});
    } catch (const boost::system::system_error& error) {
        throw std::runtime_error("cannot serve the page on " + where + ": " +
                                 error.code().message());
    }
}

} // namespace

ViewServer::ViewServer(const ServerSettings& settings, WebFiles files, std::string hello)
    : context(1), webFiles(std::move(files)),
      sharedHub(std::make_shared<Hub>(context, settings.maxClients, std::move(hello))),
      listener(listenOn(context, settings, webFiles, sharedHub)) {}

ViewServer::~ViewServer() { stop(std::chrono::milliseconds(0)); }

void ViewServer::start() {
    listener->run();
    thread = std::thread([this] {
        // A handler's failure must not take the process down unseen; the server
        // goes on with its other sessions.
        for (;;) {
            try {
                context.run();
                return;
            } catch (const std::exception& error) {
                std::fprintf(stderr, "sensorview: page server: %s\n", error.what());
            }
        }
    });
}

void ViewServer::stop(std::chrono::milliseconds grace) {
    if (!thread.joinable())
        return;
    listener->close();
    sharedHub->closeAll();
    // The thread ends by itself once the last session has closed; past the grace
    // period what is left (a browser that does not answer) is abandoned.
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (!context.stopped() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    context.stop();
    thread.join();
}

} // namespace sensorview
