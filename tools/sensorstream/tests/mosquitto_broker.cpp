#include "mosquitto_broker.h"

#include <arpa/inet.h>
#include <atomic>
#include <fstream>
#include <netinet/in.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace sensorstream::testing {

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const char* const MOSQUITTO = "/usr/sbin/mosquitto";
const char* const MOSQUITTO_PASSWD = "/usr/bin/mosquitto_passwd";
const char* const OPENSSL = "/usr/bin/openssl";

// A folder of the test's own, beside the test program's working folder.
fs::path newFolder() {
    static std::atomic<int> made{0};
    fs::path folder = fs::current_path() / ("mosquitto-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(made.fetch_add(1)));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

void run(const std::vector<std::string>& arguments) {
    const auto result = kxtools::runChild(arguments, 60s);
    if (!result.exited || result.exitCode != 0)
        throw std::runtime_error(arguments[0] + " failed: " + result.err);
}

// The broker drops to another user when started as root, unless told to stay.
std::string currentUser() {
    const passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr ? entry->pw_name : "root";
}

} // namespace

std::uint16_t freeTcpPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(fd);
    if (!bound)
        throw std::runtime_error("no free TCP port on 127.0.0.1");
    return ntohs(address.sin_port);
}

MosquittoBroker::MosquittoBroker(BrokerOptions brokerOptions)
    : options(std::move(brokerOptions)), directory(newFolder()) {
    if (!fs::exists(MOSQUITTO))
        throw std::runtime_error(std::string(MOSQUITTO) +
                                 " is missing: scripts/setup installs Debian's mosquitto");
    if (options.tls)
        makeCertificates();
    if (!options.user.empty())
        run({MOSQUITTO_PASSWD, "-c", "-b", (directory / "passwords").string(), options.user,
             options.password});
    // A port found free may be taken by someone else before the broker binds it:
    // then the broker ends at once, and another port is tried.
    std::string why;
    for (int attempt = 0; attempt < 5; ++attempt) {
        plainPort = freeTcpPort();
        securePort = options.tls ? freeTcpPort() : 0;
        writeConfiguration();
        if (launch(why))
            return;
    }
    throw std::runtime_error("mosquitto did not start: " + why);
}

MosquittoBroker::~MosquittoBroker() {
    try {
        stop();
    } catch (...) {
        // The child process is killed by its destructor all the same.
    }
    process.reset();
    std::error_code ignored;
    fs::remove_all(directory, ignored);
}

void MosquittoBroker::writeConfiguration() {
    std::ofstream config(directory / "mosquitto.conf");
    config << "user " << currentUser() << "\n"
           << "log_dest stderr\n"
           << "log_type error\nlog_type warning\nlog_type notice\nlog_type information\n"
           << "connection_messages true\n"
           // A subscriber that falls behind must be queued for, not dropped.
           << "max_queued_messages 0\n";
    if (options.persistence)
        config << "persistence true\n"
               << "persistence_location " << directory.string() << "/\n";
    if (options.user.empty()) {
        config << "allow_anonymous true\n";
    } else {
        config << "allow_anonymous false\n"
               << "password_file " << (directory / "passwords").string() << "\n";
    }
    config << "listener " << plainPort << " 127.0.0.1\n";
    if (options.tls)
        config << "listener " << securePort << " 127.0.0.1\n"
               << "cafile " << caFile() << "\n"
               << "certfile " << (directory / "server.crt").string() << "\n"
               << "keyfile " << (directory / "server.key").string() << "\n";
    if (!config)
        throw std::runtime_error("cannot write the broker's configuration");
}

void MosquittoBroker::makeCertificates() {
    const auto at = [this](const char* name) { return (directory / name).string(); };
    {
        std::ofstream extensions(at("server.ext"));
        extensions << "subjectAltName=IP:127.0.0.1\n";
    }
    run({OPENSSL, "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-keyout", at("ca.key"), "-out", at("ca.crt"), "-days", "2", "-subj",
         "/CN=sensorstream test authority"});
    run({OPENSSL, "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-keyout", at("server.key"), "-out", at("server.csr"), "-subj", "/CN=127.0.0.1"});
    run({OPENSSL, "x509", "-req", "-in", at("server.csr"), "-CA", at("ca.crt"), "-CAkey",
         at("ca.key"), "-CAcreateserial", "-out", at("server.crt"), "-days", "2", "-extfile",
         at("server.ext")});
}

bool MosquittoBroker::launch(std::string& why) {
    process = std::make_unique<kxtools::ChildProcess>(
        std::vector<std::string>{MOSQUITTO, "-c", (directory / "mosquitto.conf").string()});
    // It says so once every listener is bound.
    if (process->waitForError(" running", 20s))
        return true;
    const auto result = process->wait(5s);
    logText += result.err;
    why = result.err;
    process.reset();
    return false;
}

void MosquittoBroker::stop() {
    if (!process)
        return;
    process->interrupt(); // SIGINT to its process id: it saves its sessions and ends
    const auto result = process->wait(20s);
    logText += result.err;
    process.reset();
    if (result.timedOut)
        throw std::runtime_error("mosquitto did not end after SIGINT");
}

void MosquittoBroker::start() {
    if (process)
        return;
    std::string why;
    if (!launch(why))
        throw std::runtime_error("mosquitto did not start again on port " +
                                 std::to_string(plainPort) + ": " + why);
}

} // namespace sensorstream::testing
