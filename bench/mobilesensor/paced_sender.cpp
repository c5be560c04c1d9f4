#include "paced_sender.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kinelink_bench {

namespace {

bool readAll(int fd, void* data, std::size_t size) {
    auto* bytes = static_cast<unsigned char*>(data);
    while (size > 0) {
        const ssize_t n = read(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

timespec toTimespec(std::int64_t ns) {
    timespec t{};
    t.tv_sec = static_cast<time_t>(ns / 1000000000);
    t.tv_nsec = static_cast<long>(ns % 1000000000);
    return t;
}

// Below this gap between sends a sleep would oversleep: spin instead.
constexpr std::int64_t SPIN_BELOW_NS = 200000;

// At most this many datagrams leave in one system call when the sender is behind.
constexpr std::size_t BATCH = 64;

SendResult pace(int socket, const SendOrder& order) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(order.port);
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    unsigned char datagrams[BATCH][DATAGRAM_SIZE] = {};
    iovec parts[BATCH];
    mmsghdr messages[BATCH];
    const double reading[3] = {0.01, -0.02, 1.0};
    for (std::size_t k = 0; k < BATCH; ++k) {
        std::memcpy(datagrams[k], &order.trial, 4);
        std::memcpy(datagrams[k] + 16, reading, sizeof reading);
        parts[k] = iovec{datagrams[k], DATAGRAM_SIZE};
        messages[k] = mmsghdr{};
        messages[k].msg_hdr.msg_name = &target;
        messages[k].msg_hdr.msg_namelen = sizeof target;
        messages[k].msg_hdr.msg_iov = &parts[k];
        messages[k].msg_hdr.msg_iovlen = 1;
    }

    SendResult result{};
    const std::int64_t period = 1000000000 / static_cast<std::int64_t>(order.rate);
    const std::int64_t start = monotonicNs() + 1000000; // 1 ms to settle
    // Exact schedule without drift: i * 1e9 / rate, in integers.
    const auto due = [&](std::uint64_t i) {
        return start + static_cast<std::int64_t>(i * 1000000000ULL / order.rate);
    };
    std::int64_t last = start;
    std::uint64_t i = 0;
    while (i < order.count) {
        std::int64_t now = monotonicNs();
        if (due(i) - now > 0 && period >= SPIN_BELOW_NS) {
            const timespec wake = toTimespec(due(i));
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
            }
            now = monotonicNs();
        }
        while (now < due(i))
            now = monotonicNs();
        // Everything due by now goes at once: one datagram when on schedule, a batch
        // when the sender fell behind.
        std::size_t batch = 0;
        while (batch < BATCH && i + batch < order.count && due(i + batch) <= now) {
            const auto sequence = static_cast<std::uint32_t>(i + batch);
            std::memcpy(datagrams[batch] + 4, &sequence, 4);
            std::memcpy(datagrams[batch] + 8, &now, 8);
            ++batch;
        }
        if (now - due(i) > result.maxLateNs)
            result.maxLateNs = now - due(i);
        const int done = sendmmsg(socket, messages, static_cast<unsigned>(batch), 0);
        const std::size_t sent = done > 0 ? static_cast<std::size_t>(done) : 0;
        result.sent += sent;
        result.failed += batch - sent;
        i += batch;
        last = now;
    }
    result.durationNs = last - start;
    return result;
}

[[noreturn]] void serveOrders(int orders, int results) {
    const int sock = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (sock < 0 || bind(sock, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
        _exit(2);
    SendOrder order{};
    while (readAll(orders, &order, sizeof order)) {
        const SendResult result = pace(sock, order);
        if (!writeAll(results, &result, sizeof result))
            break;
    }
    _exit(0);
}

} // namespace

std::int64_t monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

PacedSender::PacedSender() {
    int toChild[2];
    int fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0)
        throw std::runtime_error("pipe failed");
    child_ = fork();
    if (child_ < 0)
        throw std::runtime_error("fork failed");
    if (child_ == 0) {
        close(toChild[1]);
        close(fromChild[0]);
        serveOrders(toChild[0], fromChild[1]);
    }
    close(toChild[0]);
    close(fromChild[1]);
    orders_ = toChild[1];
    results_ = fromChild[0];
}

PacedSender::~PacedSender() {
    close(orders_); // the child sees the end of its orders and exits
    close(results_);
    int status = 0;
    waitpid(child_, &status, 0);
}

SendResult PacedSender::send(const SendOrder& order) {
    SendResult result{};
    if (!writeAll(orders_, &order, sizeof order) || !readAll(results_, &result, sizeof result))
        throw std::runtime_error("the sender process ended");
    return result;
}

} // namespace kinelink_bench
