#pragma once

// A mosquitto broker of the test's own: Debian's /usr/sbin/mosquitto started as a
// child on 127.0.0.1 and a free port, with its configuration, password file,
// certificates and persistence in a folder of the test, stopped by its process id.
// It never touches a broker of the system.

#include "tools/common/child_process.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace sensorstream::testing {

struct BrokerOptions {
    // Keeps subscriptions and queued messages of persistent sessions across a stop
    // and start, as a subscriber that must not miss a reading needs.
    bool persistence = true;
    // Set: only this user, with this password, may connect.
    std::string user;
    std::string password;
    // Also a TLS listener on a second port, with a certificate for 127.0.0.1
    // signed by a test authority (caFile()).
    bool tls = false;
};

class MosquittoBroker {
public:
    // Writes the configuration and starts the broker; ASSERT-style failures are
    // reported through the thrown std::runtime_error.
    explicit MosquittoBroker(BrokerOptions options = {});
    ~MosquittoBroker(); // stops the broker, removes the folder

    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    // Stops the broker by its process id (SIGTERM; it saves its sessions) and waits
    // for it to end.
    void stop();
    // Starts it again on the same ports; returns once it listens.
    void start();
    bool running() const { return process != nullptr; }

    std::uint16_t port() const { return plainPort; }
    std::uint16_t tlsPort() const { return securePort; }
    std::string address() const { return "127.0.0.1:" + std::to_string(plainPort); }
    const std::filesystem::path& folder() const { return directory; }
    std::string caFile() const { return (directory / "ca.crt").string(); }
    // What the broker wrote to its log so far (its standard error), for messages.
    std::string log() const { return logText; }

private:
    void writeConfiguration();
    void makeCertificates();
    bool launch(std::string& why); // false when the broker ended at once

    BrokerOptions options;
    std::filesystem::path directory;
    std::uint16_t plainPort = 0;
    std::uint16_t securePort = 0;
    std::unique_ptr<kxtools::ChildProcess> process;
    std::string logText;
};

// A TCP port on 127.0.0.1 that nothing listens on now.
std::uint16_t freeTcpPort();

} // namespace sensorstream::testing
