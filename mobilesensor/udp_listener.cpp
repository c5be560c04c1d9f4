#include "udp_listener.h"

#include "conduit/kit/mutex.h"
#include "count_recording.h"
#include "datagram_tap_call.h"
#include "local_address.h"
#include "port_accounts.h"
#include "port_search.h"
#include "queued_datagrams.h"

#include <algorithm>
#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/asio/post.hpp>
#include <chrono>
#include <optional>
#include <system_error>
#include <thread>

namespace mobilesensor {

namespace asio = boost::asio;
using boost::asio::ip::udp;

namespace {
const std::string UNABLE_TO_OPEN_ID = "KORVEX:UDPListener:startUDPServer:unableToOpen";
const std::string UNABLE_TO_OPEN_TEXT = "Cannot start UDP server.";
const std::string UNCERTAIN = "Uncertain";
const std::string NO_TEXT;
constexpr std::uint16_t LAST_PORT = 65535;
// Queued datagrams delivered in a row before the event loop gets its turn (a posted
// close waits no longer than this many callbacks).
constexpr std::size_t QUEUED_BATCH = 32;

// Whether datagrams come faster than one a millisecond, judged each time the listener
// has read its socket empty from what it delivered since the time before: a single
// datagram soon after never counts as a fast stream. A zero pause is never taken.
class StreamPace {
public:
    using Clock = std::chrono::steady_clock;
    // A stream with datagrams closer than this is fast. Phones send a few hundred a
    // second per port; a computer replaying or relaying a recording, thousands.
    static constexpr std::chrono::microseconds FAST_GAP{1000};

    explicit StreamPace(std::chrono::microseconds pauseLength) : pause(pauseLength) {}

    void delivered(std::size_t count) { sinceDrained += count; }
    // The socket was read empty at `now` (taken before the reading): true when the
    // listener should pause before it reads again.
    bool drained(Clock::time_point now) {
        const bool fast = pause.count() > 0 && lastDrained && sinceDrained > 1 &&
                          now - *lastDrained <
                              FAST_GAP * static_cast<std::chrono::microseconds::rep>(sinceDrained);
        lastDrained = now;
        sinceDrained = 0;
        return fast;
    }
    void reset() {
        lastDrained.reset();
        sinceDrained = 0;
    }
    std::chrono::microseconds length() const { return pause; }

private:
    const std::chrono::microseconds pause;
    std::optional<Clock::time_point> lastDrained;
    std::size_t sinceDrained = 0;
};
} // namespace

class UDPListener::Impl {
public:
    Impl(std::string address, std::uint16_t firstPort, std::size_t size, DataCallback onData,
         MessageCallback onError, MessageCallback onWarning)
        : receiveSize(size), dataCallback(std::move(onData)), errorCallback(std::move(onError)),
          warningCallback(std::move(onWarning)),
          queued([this](const boost::system::error_code& error) { onReady(error); }),
          portToTry(firstPort), fixedPort(firstPort != 0), localIPAddress(address),
          bindAddress(std::move(address)) {}

    ~Impl() {
        try {
            stopListening();
        } catch (...) {
            // A destructor reports nothing; the service thread is gone or never was.
        }
    }

    void beginListening();
    void stopListening();

    std::uint16_t getPort() const { return port.load(); }
    std::string getDeviceIPAddress() const KX_EXCLUDES(addressMutex) {
        const conduit::kit::MutexLock lock(addressMutex);
        return deviceIPAddress;
    }
    std::string getLocalIPAddress() const KX_EXCLUDES(addressMutex) {
        const conduit::kit::MutexLock lock(addressMutex);
        return localIPAddress;
    }
    std::size_t getReceiveBufferSize() const { return grantedReceiveBuffer.load(); }
    void countMalformedDatagram() {
        if (account)
            account->malformed();
    }

private:
    void startUDPServer();
    void requestReceiveBuffer(udp::socket& candidate);
    void beginReceive();
    void onReady(const boost::system::error_code& error);
    bool deliver(const QueuedDatagrams::Datagram& datagram);
    void acceptFirstSender(const udp::endpoint& sender);
    void stopUDPServer();
    void serve() noexcept;
    void reportError(const std::string& id, const std::string& text);
    std::string addressToBind() const KX_EXCLUDES(addressMutex) {
        const conduit::kit::MutexLock lock(addressMutex);
        return bindAddress;
    }

    // Set by the constructor and only read afterwards, by either thread.
    const std::size_t receiveSize;
    DataCallback dataCallback;
    MessageCallback errorCallback;
    MessageCallback warningCallback; // kept for the owner; never called

    // The event loop outlives the sockets that use it (members go in reverse order).
    // Its post and run may be called from any thread.
    asio::io_context io{1};
    // The socket and the buffers belong to the owner while no cycle runs and to the
    // service thread while one runs: beginListening sets them before it starts the
    // thread, stopListening posts the close to the thread and touches them again only
    // after the join.
    std::unique_ptr<udp::socket> socket;
    // Every datagram lands here whole; its first receiveSize bytes are then copied
    // into receiveBuffer, the array handed to the data callback.
    QueuedDatagrams queued;
    boost::shared_array<std::uint8_t> receiveBuffer;
    // The bound port's account; null while no socket is bound.
    std::shared_ptr<PortAccount> account;

    // Whether the stream is fast enough to pause. Service thread; reset by
    // beginListening before the thread starts.
    StreamPace pace{QueuedDatagrams::gatherPause()};

    // Owner thread, except that any thread may read port.
    std::atomic<std::uint16_t> port{0};
    std::uint16_t portToTry;
    bool sequentialSearch = false;
    std::thread serviceThread;
    const bool fixedPort;
    // Written by the owner, read by the service thread at each completion.
    std::atomic<bool> stopping{true};

    // The single-sender rule compares binary addresses: the service thread does it for
    // every datagram. Touched only there; successive cycles are ordered by the join.
    bool senderAccepted = false;
    asio::ip::address acceptedSender;

    // Written once by the service thread, read by the owner and by the data callback.
    mutable conduit::kit::Mutex addressMutex;
    std::string deviceIPAddress KX_GUARDED_BY(addressMutex);
    std::string localIPAddress KX_GUARDED_BY(addressMutex);
    // The constructor's address, or the local address that reached the sender. Never
    // "Uncertain": a cycle must still be able to bind after discovery failed.
    std::string bindAddress KX_GUARDED_BY(addressMutex);

    // Written by the owner, read by any thread.
    std::atomic<std::size_t> grantedReceiveBuffer{0};
};

void UDPListener::Impl::beginListening() {
    if (serviceThread.joinable())
        stopListening(); // one cycle at a time: the old thread must not outlive its socket
    stopping = false;
    pace.reset();
    startUDPServer();
    if (port != 0)
        beginReceive();
    io.restart();
    try {
        serviceThread = std::thread(&Impl::serve, this);
    } catch (const std::system_error&) {
        // Nothing would ever be received: say so and end the cycle.
        reportError(NO_TEXT, NO_TEXT);
        stopListening();
    }
}

void UDPListener::Impl::stopListening() {
    stopping = true;
    if (serviceThread.joinable()) {
        // The socket belongs to the service thread while it runs: close it there. The
        // pending receive then completes as cancelled, finds `stopping` set, and the
        // loop runs out of work.
        asio::post(io, [this] { stopUDPServer(); });
        serviceThread.join();
    }
    // The service thread has ended, possibly before it got to the close (reception
    // had already ended). Finish here what it left, so the next cycle starts with an
    // empty queue and nothing of this cycle can touch the next socket.
    stopUDPServer();
    io.restart();
    io.run();
    port = 0;
    grantedReceiveBuffer = 0;
    account.reset();
}

void UDPListener::Impl::startUDPServer() {
    port = 0;
    if (!fixedPort) {
        // Every cycle searches from the start of the list again.
        sequentialSearch = false;
        portToTry = 0;
        portToTry = getNextPortToTry(portToTry, sequentialSearch);
    }
    boost::system::error_code failure;
    const std::string address = addressToBind();
    const asio::ip::address local = address.empty() ? asio::ip::address(asio::ip::address_v4::any())
                                                    : asio::ip::make_address(address, failure);
    // An address that does not parse fails every port alike: no search then.
    while (!failure) {
        auto candidate = std::make_unique<udp::socket>(io);
        const udp::endpoint endpoint(local, portToTry);
        candidate->open(endpoint.protocol(), failure);
        if (!failure)
            candidate->bind(endpoint, failure);
        if (!failure) {
            requestReceiveBuffer(*candidate);
            // Asynchronous operations ignore the non-blocking mode; a plain read of the
            // queue needs it (queued_datagrams.h), or it is not tried.
            boost::system::error_code ignoredMode;
            candidate->non_blocking(true, ignoredMode);
            account = portAccount(portToTry);
            account->socketOpened(*candidate);
            socket = std::move(candidate);
            port = portToTry;
            return;
        }
        if (portToTry == LAST_PORT || fixedPort)
            break;
        failure.clear();
        portToTry = getNextPortToTry(portToTry, sequentialSearch);
    }
    reportError(UNABLE_TO_OPEN_ID, UNABLE_TO_OPEN_TEXT);
}

void UDPListener::Impl::requestReceiveBuffer(udp::socket& candidate) {
    // A request, not a condition: the system may grant less, and the size it granted
    // is what getReceiveBufferSize shows.
    boost::system::error_code ignored;
    candidate.set_option(asio::socket_base::receive_buffer_size(RECEIVE_BUFFER_REQUEST), ignored);
    asio::socket_base::receive_buffer_size granted;
    boost::system::error_code failure;
    candidate.get_option(granted, failure);
    grantedReceiveBuffer =
        !failure && granted.value() > 0 ? static_cast<std::size_t>(granted.value()) : 0;
}

void UDPListener::Impl::beginReceive() {
    if (stopping)
        return;
    try {
        queued.await(*socket);
    } catch (...) {
        reportError(NO_TEXT, NO_TEXT);
    }
}

void UDPListener::Impl::onReady(const boost::system::error_code& error) {
    // A failed wait, cancellation included, ends reception for this cycle.
    if (stopping || error)
        return;
    // A wait for readability wakes this thread for every datagram that arrives while
    // it waits, and a wake-up costs several times what handling a datagram does. So a
    // stream that brings more than one datagram a millisecond is read a pause's worth
    // at a time: having read the socket empty, the thread sleeps for the pause and
    // reads again (a sleep, not a timer on the event loop: the loop's wait would be
    // woken by each datagram all the same). A datagram then waits up to a pause
    // longer; a slower stream is waited for and each datagram read as it arrives. A
    // close posted meanwhile waits for the pause at most.
    for (;;) {
        const auto now = StreamPace::Clock::now();
        // What the socket holds is read in batches, each datagram delivered in order
        // before the next batch is read, without the event loop's round trip.
        std::size_t delivered = 0;
        do {
            boost::system::error_code failure;
            const std::size_t count = queued.read(*socket, failure);
            for (std::size_t i = 0; i < count; ++i) {
                if (stopping || !deliver(queued.datagram(i)))
                    return; // reception ends for this cycle
            }
            if (failure)
                return; // as a failed wait does
            delivered += count;
        } while (queued.mayHoldMore() && delivered < QUEUED_BATCH && !stopping);
        pace.delivered(delivered);
        if (queued.mayHoldMore())
            break; // the event loop's turn; the wait then ends at once
        if (!pace.drained(now) || stopping)
            break;
        std::this_thread::sleep_for(pace.length());
    }
    beginReceive();
}

bool UDPListener::Impl::deliver(const QueuedDatagrams::Datagram& datagram) {
    counters::datagramReceived();
    account->received();
    try {
        if (!senderAccepted) {
            acceptFirstSender(*datagram.sender);
        } else if (datagram.sender->address() != acceptedSender) {
            counters::datagramFromOtherSender();
            account->fromOtherSender();
            return true; // a second sender: drop the datagram
        }
        if (tap::active())
            tap::offer(port.load(), datagram.bytes, datagram.length);
        // A fresh array whenever the receiver kept the previous one; an array nobody
        // else holds any more is used again, which saves two allocations per datagram.
        if (!receiveBuffer || receiveBuffer.use_count() != 1)
            receiveBuffer.reset(new std::uint8_t[receiveSize]);
        const std::size_t length = std::min(datagram.length, receiveSize);
        std::copy_n(datagram.bytes, length, receiveBuffer.get());
        if (dataCallback) {
            counters::datagramDelivered();
            account->delivered();
            if (!dataCallback(receiveBuffer, length))
                counters::datagramRejected();
        }
        return true;
    } catch (...) {
        reportError(NO_TEXT, NO_TEXT);
        return false;
    }
}

void UDPListener::Impl::acceptFirstSender(const udp::endpoint& senderEndpoint) {
    const asio::ip::address sender = senderEndpoint.address();
    std::string senderText = sender.to_string();
    std::string local;
    try {
        local = currentLocalAddressDiscovery()(io, senderEndpoint);
    } catch (const std::exception&) {
        local = UNCERTAIN;
    }
    {
        const conduit::kit::MutexLock lock(addressMutex);
        deviceIPAddress = std::move(senderText);
        localIPAddress = local;
        if (local != UNCERTAIN)
            bindAddress = local;
    }
    acceptedSender = sender;
    senderAccepted = true;
}

void UDPListener::Impl::stopUDPServer() {
    if (!socket || !socket->is_open())
        return;
    // The socket's drop count goes with it: take it now.
    counters::datagramsDroppedBySystem(account->socketClosing(*socket));
    boost::system::error_code failure;
    socket->close(failure);
    if (failure)
        reportError(NO_TEXT, NO_TEXT);
}

void UDPListener::Impl::serve() noexcept {
    try {
        io.run();
    } catch (...) {
        // Only the error callback itself can throw this far; reception has ended.
    }
}

void UDPListener::Impl::reportError(const std::string& id, const std::string& text) {
    if (!stopping && errorCallback)
        errorCallback(id, text);
}

UDPListener::UDPListener(std::string address, std::uint16_t port, std::size_t receiveSize,
                         DataCallback dataCallback, MessageCallback errorCallback,
                         MessageCallback warningCallback)
    : impl(new Impl(std::move(address), port, receiveSize, std::move(dataCallback),
                    std::move(errorCallback), std::move(warningCallback))) {}

UDPListener::~UDPListener() = default;

void UDPListener::beginListening() { impl->beginListening(); }

void UDPListener::stopListening() { impl->stopListening(); }

std::uint16_t UDPListener::getPort() const { return impl->getPort(); }

std::string UDPListener::getDeviceIPAddress() const { return impl->getDeviceIPAddress(); }

std::string UDPListener::getLocalIPAddress() const { return impl->getLocalIPAddress(); }

std::size_t UDPListener::getReceiveBufferSize() const { return impl->getReceiveBufferSize(); }

void UDPListener::countMalformedDatagram() { impl->countMalformedDatagram(); }

} // namespace mobilesensor
