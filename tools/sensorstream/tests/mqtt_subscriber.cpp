#include "mqtt_subscriber.h"

#include <mosquitto.h>
#include <stdexcept>

namespace sensorstream::testing {

MqttSubscriber::MqttSubscriber(std::uint16_t port, SubscriberOptions subscriberOptions)
    : options(std::move(subscriberOptions)) {
    mosquitto_lib_init();
    const bool persistent = !options.clientId.empty();
    client = mosquitto_new(persistent ? options.clientId.c_str() : nullptr, !persistent, this);
    if (client == nullptr)
        throw std::runtime_error("mosquitto_new failed");
    mosquitto_connect_callback_set(client, &MqttSubscriber::onConnect);
    mosquitto_disconnect_callback_set(client, &MqttSubscriber::onDisconnect);
    mosquitto_subscribe_callback_set(client, &MqttSubscriber::onSubscribe);
    mosquitto_message_callback_set(client, &MqttSubscriber::onMessage);
    // Back quickly after a broker comes back.
    mosquitto_reconnect_delay_set(client, 1, 1, false);
    if (!options.caFile.empty() && mosquitto_tls_set(client, options.caFile.c_str(), nullptr,
                                                     nullptr, nullptr, nullptr) != MOSQ_ERR_SUCCESS)
        throw std::runtime_error("mosquitto_tls_set failed");
    const int connected = mosquitto_connect_async(client, "127.0.0.1", port, 30);
    const int started = mosquitto_loop_start(client);
    if (connected != MOSQ_ERR_SUCCESS || started != MOSQ_ERR_SUCCESS) {
        mosquitto_destroy(client);
        throw std::runtime_error(
            std::string("the subscriber cannot connect: ") +
            mosquitto_strerror(connected != MOSQ_ERR_SUCCESS ? connected : started));
    }
}

MqttSubscriber::~MqttSubscriber() {
    mosquitto_disconnect(client);
    mosquitto_loop_stop(client, false);
    mosquitto_destroy(client);
}

void MqttSubscriber::onConnect(mosquitto* client, void* self, int code) {
    auto& subscriber = *static_cast<MqttSubscriber*>(self);
    if (code == 0)
        mosquitto_subscribe(client, nullptr, subscriber.options.filter.c_str(),
                            subscriber.options.qos);
}

void MqttSubscriber::onDisconnect(mosquitto*, void* self, int) {
    auto& subscriber = *static_cast<MqttSubscriber*>(self);
    std::lock_guard<std::mutex> lock(subscriber.mutex);
    subscriber.subscribed = false;
    subscriber.changed.notify_all();
}

void MqttSubscriber::onSubscribe(mosquitto*, void* self, int, int, const int*) {
    auto& subscriber = *static_cast<MqttSubscriber*>(self);
    std::lock_guard<std::mutex> lock(subscriber.mutex);
    subscriber.subscribed = true;
    ++subscriber.subscriptions;
    subscriber.changed.notify_all();
}

void MqttSubscriber::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto& subscriber = *static_cast<MqttSubscriber*>(self);
    ReceivedMessage copy;
    copy.topic = message->topic;
    copy.payload.assign(static_cast<const char*>(message->payload),
                        static_cast<std::size_t>(message->payloadlen));
    copy.qos = message->qos;
    std::lock_guard<std::mutex> lock(subscriber.mutex);
    subscriber.received.push_back(std::move(copy));
    subscriber.changed.notify_all();
}

bool MqttSubscriber::waitSubscriptions(int count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return subscribed && subscriptions >= count; });
}

bool MqttSubscriber::waitForCount(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return received.size() >= count; });
}

std::vector<ReceivedMessage> MqttSubscriber::messages() const {
    std::lock_guard<std::mutex> lock(mutex);
    return received;
}

std::size_t MqttSubscriber::count() const {
    std::lock_guard<std::mutex> lock(mutex);
    return received.size();
}

} // namespace sensorstream::testing
