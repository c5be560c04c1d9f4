#pragma once

// A TCP relay on 127.0.0.1 between a client and a server of the tests, which the
// test can hold (it stops passing the client's bytes on, as a network that stalls)
// and cut (it closes every connection, dropping what it held, as a network that
// breaks), while the server itself runs on undisturbed.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace sensorstream::testing {

class TcpRelay {
public:
    // Listens on a free port of 127.0.0.1; every connection made to it is passed on
    // to 127.0.0.1:targetPort. Throws std::runtime_error when it cannot listen.
    explicit TcpRelay(std::uint16_t targetPort);
    ~TcpRelay(); // closes everything, joins

    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    std::uint16_t port() const { return listenPort; }

    // From now on the clients' bytes stay unread: the server receives nothing more
    // until release or cut.
    void hold();
    void release();
    // Closes every connection now; what was held never reaches the server. Later
    // connections are relayed again (and not held).
    void cut();
    int connectionsAccepted() const { return accepted.load(); }

private:
    struct Link {
        int client;
        int server;
    };
    void run();
    void closeAll();

    int listener = -1;
    int wakeFd = -1;
    std::uint16_t listenPort = 0;
    std::uint16_t target;
    std::atomic<bool> stopping{false};
    std::atomic<bool> held{false};
    std::atomic<bool> cutRequested{false};
    std::atomic<int> accepted{0};
    std::mutex mutex;
    std::condition_variable cutDone;
    int cuts = 0;            // guarded by mutex
    std::vector<Link> links; // relay thread only
    std::thread thread;
};

} // namespace sensorstream::testing
