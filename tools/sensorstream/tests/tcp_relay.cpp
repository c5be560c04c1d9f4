#include "tcp_relay.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sensorstream::testing {

namespace {

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// Passes what is readable on from one socket to the other; false when either end
// closed or failed.
bool pass(int from, int to) {
    char chunk[16384];
    const ssize_t got = ::recv(from, chunk, sizeof chunk, 0);
    if (got <= 0)
        return got < 0 && (errno == EINTR || errno == EAGAIN);
    for (ssize_t sent = 0; sent < got;) {
        const ssize_t now =
            ::send(to, chunk + sent, static_cast<std::size_t>(got - sent), MSG_NOSIGNAL);
        if (now < 0 && errno == EINTR)
            continue;
        if (now <= 0)
            return false;
        sent += now;
    }
    return true;
}

} // namespace

TcpRelay::TcpRelay(std::uint16_t targetPort) : target(targetPort) {
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    auto address = loopback(0);
    socklen_t length = sizeof address;
    if (listener < 0 || wakeFd < 0 ||
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 8) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener >= 0)
            ::close(listener);
        if (wakeFd >= 0)
            ::close(wakeFd);
        throw std::runtime_error("the relay cannot listen on 127.0.0.1");
    }
    listenPort = ntohs(address.sin_port);
    thread = std::thread([this] { run(); });
}

TcpRelay::~TcpRelay() {
    stopping.store(true);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
    thread.join();
    closeAll();
    ::close(listener);
    ::close(wakeFd);
}

void TcpRelay::hold() { held.store(true); }

void TcpRelay::release() {
    held.store(false);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
}

void TcpRelay::cut() {
    std::unique_lock<std::mutex> lock(mutex);
    const int before = cuts;
    cutRequested.store(true);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
    // The relay thread closes them; wait until it has.
    cutDone.wait(lock, [&] { return cuts != before; });
}

void TcpRelay::closeAll() {
    for (const auto& link : links) {
        ::close(link.client);
        ::close(link.server);
    }
    links.clear();
}

void TcpRelay::run() {
    while (!stopping.load()) {
        if (cutRequested.exchange(false)) {
            closeAll();
            held.store(false);
            std::lock_guard<std::mutex> lock(mutex);
            ++cuts;
            cutDone.notify_all();
        }
        std::vector<pollfd> fds = {{wakeFd, POLLIN, 0}, {listener, POLLIN, 0}};
        const bool holding = held.load();
        for (const auto& link : links) {
            fds.push_back({link.client, static_cast<short>(holding ? 0 : POLLIN), 0});
            fds.push_back({link.server, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), 1000) < 0)
            continue;
        if ((fds[0].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(wakeFd, &count, sizeof count);
        }
        if ((fds[1].revents & POLLIN) != 0) {
            const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const auto address = loopback(target);
            if (client >= 0 && server >= 0 &&
                ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
                    0) {
                links.push_back({client, server});
                accepted.fetch_add(1);
            } else {
                if (client >= 0)
                    ::close(client);
                if (server >= 0)
                    ::close(server);
            }
            continue; // the list of descriptors changed
        }
        for (std::size_t i = 0; i < links.size(); ++i) {
            const pollfd& client = fds[2 + 2 * i];
            const pollfd& server = fds[3 + 2 * i];
            const bool clientOk = (client.revents & (POLLIN | POLLHUP | POLLERR)) == 0 ||
                                  pass(links[i].client, links[i].server);
            const bool serverOk = (server.revents & (POLLIN | POLLHUP | POLLERR)) == 0 ||
                                  pass(links[i].server, links[i].client);
            if (!clientOk || !serverOk) {
                ::close(links[i].client);
                ::close(links[i].server);
                links.erase(links.begin() + static_cast<std::ptrdiff_t>(i));
                break; // the descriptors no longer match fds
            }
        }
    }
}

} // namespace sensorstream::testing
