// The bridge to a broker through libmosquitto, driven from a thread of our own:
// poll() on the client's socket and on a wake-up, then the library's read, write
// and housekeeping steps. The client is only ever touched by that thread, so the
// library runs unthreaded, and a lost connection is dropped with its client: the
// next attempt starts from a fresh one, and the queue sends what the broker did not
// confirm again.

#include "mqtt_bridge.h"
#include "mqtt_outbox.h"
#include "mqtt_topics.h"
#include "wake_signal.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mosquitto.h>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <thread>
#include <utility>

namespace sensorstream {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int KEEPALIVE_SECONDS = 30;
// Pauses between attempts: from the first to the longest, doubling.
constexpr milliseconds FIRST_PAUSE{250};
constexpr milliseconds LONGEST_PAUSE{8000};
// The library's housekeeping (pings, the keepalive check) wants a call about once
// a second.
constexpr milliseconds HOUSEKEEPING{1000};

void initialiseLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

std::string errorText(int code, int savedErrno) {
    if (code == MOSQ_ERR_ERRNO && savedErrno != 0)
        return std::strerror(savedErrno);
    return mosquitto_strerror(code);
}

std::string secondsText(milliseconds pause) {
    const double seconds = static_cast<double>(pause.count()) / 1000.0;
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

class MqttBridge : public ReadingPublisher {
public:
    MqttBridge(const MqttSettings& options, const std::vector<std::string>& phoneNames)
        : settings(options), topics(options.prefix, phoneNames),
          outbox(options.queueLimit, phoneNames.size()), nextAttempt(Clock::now()) {
        initialiseLibrary();
        publicState.address = settings.address();
        thread = std::thread([this] { run(); });
    }

    ~MqttBridge() override {
        stopNow.store(true);
        wake.raise();
        if (thread.joinable())
            thread.join();
    }

    void post(OutgoingBatch& batch) override {
        if (outbox.post(batch) > 0)
            wake.raise();
    }

    PublisherStatus status() const override {
        PublisherStatus status;
        {
            std::lock_guard<std::mutex> lock(stateMutex);
            status = publicState;
        }
        status.waiting = outbox.waiting();
        status.inFlight = outbox.awaitingConfirmation();
        status.phones = outbox.counts();
        return status;
    }

    std::vector<std::string> news() override {
        std::lock_guard<std::mutex> lock(stateMutex);
        return std::exchange(pendingNews, {});
    }

    PublisherStatus finish(milliseconds patience) override {
        finishPatience.store(patience.count());
        finishing.store(true);
        wake.raise();
        if (thread.joinable())
            thread.join();
        outbox.abandon();
        return status();
    }

private:
    // Network thread from here on.
    void run() {
        std::uint64_t confirmedBefore = outbox.confirmedTotal();
        Clock::time_point lastProgress = Clock::now();
        while (!stopNow.load()) {
            const auto now = Clock::now();
            const std::uint64_t confirmedNow = outbox.confirmedTotal();
            if (confirmedNow != confirmedBefore || !finishing.load()) {
                confirmedBefore = confirmedNow;
                lastProgress = now;
            }
            if (finishing.load() &&
                (outbox.waiting() == 0 || now - lastProgress >= milliseconds(finishPatience)))
                break;
            if (client == nullptr && now >= nextAttempt)
                startAttempt();
            if (connected)
                publishWhatFits();
            waitAndService(lastProgress);
        }
        if (client != nullptr) {
            if (connected)
                mosquitto_disconnect(client);
            closeClient();
        }
    }

    void startAttempt() {
        refusal.clear();
        client = mosquitto_new(settings.clientId.empty() ? nullptr : settings.clientId.c_str(),
                               true, this);
        if (client == nullptr) {
            attemptFailed(errorText(MOSQ_ERR_ERRNO, errno), BrokerState::Waiting);
            return;
        }
        mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_int_option(client, MOSQ_OPT_SEND_MAXIMUM, static_cast<int>(MQTT_WINDOW));
        // Each reading goes out as it comes, not held back to fill a segment.
        mosquitto_int_option(client, MOSQ_OPT_TCP_NODELAY, 1);
        mosquitto_connect_callback_set(client, &MqttBridge::onConnect);
        mosquitto_publish_callback_set(client, &MqttBridge::onPublish);
        int code = MOSQ_ERR_SUCCESS;
        if (!settings.user.empty())
            code = mosquitto_username_pw_set(client, settings.user.c_str(),
                                             settings.password.empty() ? nullptr
                                                                       : settings.password.c_str());
        if (code == MOSQ_ERR_SUCCESS && settings.tls())
            code = mosquitto_tls_set(client, settings.caFile.c_str(), nullptr, nullptr, nullptr,
                                     nullptr);
        if (code == MOSQ_ERR_SUCCESS) {
            errno = 0;
            code = mosquitto_connect_async(client, settings.host.c_str(), settings.effectivePort(),
                                           KEEPALIVE_SECONDS);
        }
        if (code != MOSQ_ERR_SUCCESS) {
            const int savedErrno = errno;
            closeClient();
            attemptFailed(errorText(code, savedErrno), BrokerState::Waiting);
            return;
        }
        setState(BrokerState::Connecting, "");
    }

    void waitAndService(Clock::time_point lastProgress) {
        pollfd fds[2] = {{wake.descriptor(), POLLIN, 0}, {-1, 0, 0}};
        nfds_t count = 1;
        const int socket = client != nullptr ? mosquitto_socket(client) : -1;
        if (socket >= 0) {
            fds[1] = {socket,
                      static_cast<short>(POLLIN | (mosquitto_want_write(client) ? POLLOUT : 0)), 0};
            count = 2;
        }
        const auto now = Clock::now();
        auto until = client != nullptr ? now + HOUSEKEEPING : nextAttempt;
        if (finishing.load())
            until = std::min(until, lastProgress + milliseconds(finishPatience));
        const auto timeout =
            std::chrono::ceil<milliseconds>(std::max(until - now, Clock::duration(0)));
        const int ready = ::poll(
            fds, count, static_cast<int>(std::min<milliseconds::rep>(timeout.count(), 60000)));
        if (ready > 0 && (fds[0].revents & POLLIN) != 0)
            wake.clear();
        if (client == nullptr)
            return;
        if (count == 2 && (fds[1].revents & (POLLIN | POLLERR | POLLHUP)) != 0 &&
            !step(mosquitto_loop_read(client, 1)))
            return;
        if (count == 2 && (fds[1].revents & POLLOUT) != 0 && !step(mosquitto_loop_write(client, 1)))
            return;
        step(mosquitto_loop_misc(client));
    }

    // The outcome of a step of the library: false when it ended the connection.
    bool step(int code) {
        if (code == MOSQ_ERR_SUCCESS)
            return true;
        const int savedErrno = errno;
        connectionEnded(code, savedErrno);
        return false;
    }

    void connectionEnded(int code, int savedErrno) {
        const bool wasConnected = connected;
        closeClient();
        outbox.sendAgain();
        if (!refusal.empty()) {
            attemptFailed(refusal, BrokerState::Refused);
            return;
        }
        std::string why = code == MOSQ_ERR_CONN_LOST || code == MOSQ_ERR_NO_CONN
                              ? "the connection was closed"
                              : errorText(code, savedErrno);
        if (wasConnected) {
            pause = FIRST_PAUSE;
            nextAttempt = Clock::now() + pause;
            setState(BrokerState::Waiting, why);
            say("lost the connection to " + settings.address() + " (" + why + "); " +
                std::to_string(outbox.waiting()) + " readings wait, next attempt in " +
                secondsText(pause));
            return;
        }
        attemptFailed(why, BrokerState::Waiting);
    }

    // An attempt that did not connect: says why once for a run of the same reason,
    // and waits longer before the next.
    void attemptFailed(const std::string& why, BrokerState state) {
        nextAttempt = Clock::now() + pause;
        const bool sameAsBefore = why == lastFailure;
        lastFailure = why;
        setState(state, why);
        if (!sameAsBefore) {
            const std::string what = state == BrokerState::Refused
                                         ? settings.address() + " refused the connection: "
                                         : "cannot connect to " + settings.address() + ": ";
            say(what + why + "; readings wait, next attempt in " + secondsText(pause) +
                " and then less often");
        }
        pause = std::min(pause * 2, LONGEST_PAUSE);
    }

    void publishWhatFits() {
        while (client != nullptr && outbox.awaitingConfirmation() < MQTT_WINDOW) {
            const auto next = outbox.nextUnsent();
            if (!next)
                return;
            const std::string& topic = topics.topic(next->phone, next->measurement);
            int messageId = 0;
            publishing = true;
            errno = 0;
            const int code = mosquitto_publish(client, &messageId, topic.c_str(),
                                               static_cast<int>(next->payload.size()),
                                               next->payload.data(), settings.qos, false);
            publishing = false;
            if (code == MOSQ_ERR_SUCCESS) {
                outbox.sent(messageId);
            } else if (code == MOSQ_ERR_PAYLOAD_SIZE || code == MOSQ_ERR_INVAL ||
                       code == MOSQ_ERR_MALFORMED_UTF8 || code == MOSQ_ERR_OVERSIZE_PACKET) {
                outbox.failed(); // this reading can never go; the next may
            } else {
                const int savedErrno = errno;
                connectionEnded(code, savedErrno);
                return;
            }
            // At QoS 0 the library writes at once and confirms within the call,
            // before the id was known here.
            for (const int early : std::exchange(earlyConfirmations, {}))
                outbox.confirmed(early);
        }
    }

    void closeClient() {
        if (client != nullptr)
            mosquitto_destroy(client);
        client = nullptr;
        connected = false;
        earlyConfirmations.clear();
    }

    void setState(BrokerState state, const std::string& problem) {
        std::lock_guard<std::mutex> lock(stateMutex);
        publicState.state = state;
        publicState.problem = problem;
    }

    void say(const std::string& line) {
        std::lock_guard<std::mutex> lock(stateMutex);
        pendingNews.push_back(line);
    }

    // Library callbacks, on the network thread inside a library call.
    static void onConnect(struct mosquitto*, void* self, int code) {
        auto& bridge = *static_cast<MqttBridge*>(self);
        if (code != 0) {
            bridge.refusal = mosquitto_connack_string(code);
            return;
        }
        bridge.connected = true;
        bridge.pause = FIRST_PAUSE;
        bridge.lastFailure.clear();
        bridge.setState(BrokerState::Connected, "");
        bridge.say("connected to " + bridge.settings.address() + " (QoS " +
                   std::to_string(bridge.settings.qos) + ")");
    }

    static void onPublish(struct mosquitto*, void* self, int messageId) {
        auto& bridge = *static_cast<MqttBridge*>(self);
        if (bridge.publishing)
            bridge.earlyConfirmations.push_back(messageId);
        else
            bridge.outbox.confirmed(messageId);
    }

    const MqttSettings settings;
    const TopicTable topics;
    MqttOutbox outbox;
    WakeSignal wake;
    std::atomic<bool> stopNow{false};
    std::atomic<bool> finishing{false};
    std::atomic<milliseconds::rep> finishPatience{0};

    mutable std::mutex stateMutex;
    PublisherStatus publicState;          // guarded; state, address and problem
    std::vector<std::string> pendingNews; // guarded

    // Network thread only.
    struct mosquitto* client = nullptr;
    bool connected = false;
    bool publishing = false;
    std::vector<int> earlyConfirmations;
    std::string refusal; // the broker's answer to a refused connection
    std::string lastFailure;
    milliseconds pause = FIRST_PAUSE;
    Clock::time_point nextAttempt;

    std::thread thread; // last: it starts once everything above is ready
};

} // namespace

bool mqttAvailable() { return true; }

std::unique_ptr<ReadingPublisher> makeMqttPublisher(const MqttSettings& settings,
                                                    const std::vector<std::string>& phoneNames) {
    return std::make_unique<MqttBridge>(settings, phoneNames);
}

} // namespace sensorstream
