#pragma once

// A subscriber of the tests: libmosquitto's own client on its own thread, which
// subscribes (again after every reconnection) and records every message it
// receives, in order. With a client id and a persistent session, a broker that
// keeps sessions queues what arrives while the subscriber is away.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace sensorstream::testing {

struct ReceivedMessage {
    std::string topic;
    std::string payload;
    int qos = 0;
};

struct SubscriberOptions {
    std::string clientId; // empty: made up, with a clean session
    std::string filter = "#";
    int qos = 1;
    std::string caFile; // set: TLS
};

class MqttSubscriber {
public:
    // Connects to 127.0.0.1:port and starts the client's thread; throws
    // std::runtime_error when the client cannot be made.
    MqttSubscriber(std::uint16_t port, SubscriberOptions options = {});
    ~MqttSubscriber(); // disconnects, stops the thread

    MqttSubscriber(const MqttSubscriber&) = delete;
    MqttSubscriber& operator=(const MqttSubscriber&) = delete;

    // Waits until the broker has confirmed the subscription count times in all (once
    // a connection: 2 after one reconnection), the last on the current connection.
    bool waitSubscriptions(int count, std::chrono::milliseconds timeout);
    // Waits until at least count messages arrived.
    bool waitForCount(std::size_t count, std::chrono::milliseconds timeout);

    std::vector<ReceivedMessage> messages() const;
    std::size_t count() const;

private:
    static void onConnect(mosquitto* client, void* self, int code);
    static void onDisconnect(mosquitto* client, void* self, int code);
    static void onSubscribe(mosquitto* client, void* self, int mid, int count, const int* granted);
    static void onMessage(mosquitto* client, void* self, const mosquitto_message* message);

    SubscriberOptions options;
    mosquitto* client = nullptr;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::vector<ReceivedMessage> received; // guarded
    int subscriptions = 0;                 // guarded; confirmed, over every connection
    bool subscribed = false;               // guarded; on the current connection
};

} // namespace sensorstream::testing
