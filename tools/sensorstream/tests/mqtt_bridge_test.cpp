// The bridge to a broker against a real one: Debian's mosquitto, started by the
// test on 127.0.0.1, and a subscriber of libmosquitto that records what arrives.
// Every reading posted must reach the subscriber once, in order per phone, under
// its topic, or be counted: as overflow of a full queue, or as unsent at the end.

#include "mosquitto_broker.h"
#include "mqtt_subscriber.h"
#include "tcp_relay.h"
#include "tools/sensorstream/mqtt_bridge.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using sensorstream::BrokerState;
using sensorstream::MqttSettings;
using sensorstream::OutgoingBatch;
using sensorstream::PublisherStatus;
using sensorstream::ReadingPublisher;
using sensorstream::testing::BrokerOptions;
using sensorstream::testing::MosquittoBroker;
using sensorstream::testing::MqttSubscriber;
using sensorstream::testing::ReceivedMessage;
using sensorstream::testing::SubscriberOptions;
using sensorstream::testing::TcpRelay;

constexpr auto DEADLINE = 60s;
const std::vector<std::string> PHONES = {"left", "right", "desk"};

// A stream of readings with payloads that tell them apart, spread over the phones
// and the measurements; it remembers what it made, per phone, in order.
class ReadingStream {
public:
    explicit ReadingStream(std::size_t phoneCount) : phones(phoneCount), made(phoneCount) {}

    OutgoingBatch next(std::size_t count) {
        OutgoingBatch batch;
        for (std::size_t i = 0; i < count; ++i, ++serial) {
            const std::size_t phone = serial % phones;
            const std::int32_t measurement = static_cast<std::int32_t>(1 + serial % 7);
            const std::string payload = "{\"serial\":" + std::to_string(serial) + "}";
            batch.add(phone, measurement, payload);
            made[phone].push_back({topicOf(phone, measurement), payload});
        }
        return batch;
    }

    const std::vector<std::pair<std::string, std::string>>& of(std::size_t phone) const {
        return made[phone];
    }
    std::size_t total() const { return serial; }

    static std::string topicOf(std::size_t phone, std::int32_t measurement) {
        static const char* const names[] = {"other",       "acceleration",        "rotation_rate",
                                            "heading",     "horizontal_location", "magnetic_field",
                                            "orientation", "vertical_location"};
        return "lab/run/" + PHONES[phone] + "/" + names[measurement];
    }

private:
    std::size_t phones;
    std::size_t serial = 0;
    std::vector<std::vector<std::pair<std::string, std::string>>> made;
};

MqttSettings settingsFor(std::uint16_t port, int qos) {
    MqttSettings settings;
    settings.host = "127.0.0.1";
    settings.port = port;
    settings.qos = qos;
    settings.prefix = "lab/run";
    return settings;
}

void post(ReadingPublisher& publisher, OutgoingBatch batch) { publisher.post(batch); }

bool waitForStatus(const ReadingPublisher& publisher,
                   const std::function<bool(const PublisherStatus&)>& wanted,
                   std::chrono::milliseconds timeout = DEADLINE) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!wanted(publisher.status())) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

bool connected(const PublisherStatus& status) { return status.state == BrokerState::Connected; }

// The messages of a phone, by the phone level of their topic, in arrival order.
std::vector<std::pair<std::string, std::string>>
messagesOf(const std::vector<ReceivedMessage>& messages, std::size_t phone) {
    const std::string start = "lab/run/" + PHONES[phone] + "/";
    std::vector<std::pair<std::string, std::string>> found;
    for (const auto& message : messages) {
        if (message.topic.rfind(start, 0) == 0)
            found.emplace_back(message.topic, message.payload);
    }
    return found;
}

// Each message's first arrival only: a broker may deliver a reading twice at QoS 1
// when the connection broke before it confirmed it.
std::vector<std::pair<std::string, std::string>>
firstArrivals(const std::vector<std::pair<std::string, std::string>>& messages) {
    std::set<std::string> seen;
    std::vector<std::pair<std::string, std::string>> first;
    for (const auto& message : messages) {
        if (seen.insert(message.second).second)
            first.push_back(message);
    }
    return first;
}

bool arrived(const MqttSubscriber& subscriber, const std::string& payload) {
    for (const auto& message : subscriber.messages()) {
        if (message.payload == payload)
            return true;
    }
    return false;
}

bool waitForPayload(const MqttSubscriber& subscriber, const std::string& payload) {
    const auto deadline = std::chrono::steady_clock::now() + DEADLINE;
    while (!arrived(subscriber, payload)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

class MqttBridgeQos : public ::testing::TestWithParam<int> {};

// One publisher, one subscriber, no trouble: every reading arrives exactly once, in
// the order posted, under PREFIX/PHONE/MEASUREMENT with its payload unchanged. The
// last reading posted arrives last: when it is there, so is everything before it.
TEST_P(MqttBridgeQos, PublishesEveryReadingOnceInOrderUnderItsTopic) {
    MosquittoBroker broker(BrokerOptions{false, "", "", false});
    MqttSubscriber subscriber(broker.port());
    ASSERT_TRUE(subscriber.waitSubscriptions(1, DEADLINE));
    auto publisher =
        sensorstream::makeMqttPublisher(settingsFor(broker.port(), GetParam()), PHONES);

    ReadingStream stream(PHONES.size());
    for (int round = 0; round < 30; ++round)
        post(*publisher, stream.next(100));
    const std::string last = stream.of((stream.total() - 1) % PHONES.size()).back().second;
    ASSERT_TRUE(waitForPayload(subscriber, last)) << broker.log();
    const auto status = publisher->finish(5s);

    const auto messages = subscriber.messages();
    EXPECT_EQ(stream.total(), messages.size()) << "every reading exactly once";
    for (std::size_t phone = 0; phone < PHONES.size(); ++phone) {
        SCOPED_TRACE(PHONES[phone]);
        EXPECT_EQ(stream.of(phone), messagesOf(messages, phone));
        EXPECT_EQ(stream.of(phone).size(), status.phones[phone].published);
        EXPECT_EQ(0u, status.phones[phone].overflowed);
        EXPECT_EQ(0u, status.phones[phone].unsent);
    }
    for (const auto& message : messages)
        EXPECT_EQ(GetParam(), message.qos) << message.topic;
    EXPECT_EQ(0u, status.waiting);
}

INSTANTIATE_TEST_SUITE_P(AtQos, MqttBridgeQos, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& qos) {
                             return "Qos" + std::to_string(qos.param);
                         });

// The broker goes away in the middle of a stream and comes back: what was posted
// meanwhile waits, and everything reaches the subscriber (whose session the broker
// keeps) in the order posted; readings sent just before the break may come twice.
TEST(MqttBridge, ReadingsWaitWhileTheBrokerIsAwayAndGoOutInOrder) {
    MosquittoBroker broker;
    MqttSubscriber subscriber(broker.port(), SubscriberOptions{"bridge-test-stop", "#", 1, ""});
    ASSERT_TRUE(subscriber.waitSubscriptions(1, DEADLINE));
    auto publisher = sensorstream::makeMqttPublisher(settingsFor(broker.port(), 1), PHONES);
    ASSERT_TRUE(waitForStatus(*publisher, connected));

    ReadingStream stream(PHONES.size());
    for (int round = 0; round < 10; ++round)
        post(*publisher, stream.next(50));
    ASSERT_TRUE(subscriber.waitForCount(500, DEADLINE));
    ASSERT_TRUE(waitForStatus(*publisher, [](const auto& s) { return s.waiting == 0; }));

    broker.stop();
    ASSERT_TRUE(waitForStatus(*publisher, [](const auto& s) { return !connected(s); }));
    for (int round = 0; round < 20; ++round)
        post(*publisher, stream.next(50));
    // Nothing can be confirmed while the broker is away: all of it waits.
    EXPECT_EQ(1000u, publisher->status().waiting);

    broker.start();
    ASSERT_TRUE(subscriber.waitSubscriptions(2, DEADLINE)) << broker.log();
    for (int round = 0; round < 10; ++round)
        post(*publisher, stream.next(50));
    const std::string last = stream.of((stream.total() - 1) % PHONES.size()).back().second;
    ASSERT_TRUE(waitForPayload(subscriber, last)) << broker.log();
    const auto status = publisher->finish(5s);

    const auto messages = subscriber.messages();
    for (std::size_t phone = 0; phone < PHONES.size(); ++phone) {
        SCOPED_TRACE(PHONES[phone]);
        EXPECT_EQ(stream.of(phone), firstArrivals(messagesOf(messages, phone)));
        EXPECT_EQ(stream.of(phone).size(), status.phones[phone].published);
        EXPECT_EQ(0u, status.phones[phone].overflowed);
        EXPECT_EQ(0u, status.phones[phone].unsent);
    }
}

// The connection breaks while a window of readings awaits the broker's
// confirmation, held up on the way: they never reached the broker, and go again,
// in order, on the next connection; the subscriber gets every reading.
TEST(MqttBridge, SendsUnconfirmedReadingsAgainAfterABrokenConnection) {
    MosquittoBroker broker(BrokerOptions{false, "", "", false});
    MqttSubscriber subscriber(broker.port());
    ASSERT_TRUE(subscriber.waitSubscriptions(1, DEADLINE));
    TcpRelay relay(broker.port());
    auto publisher = sensorstream::makeMqttPublisher(settingsFor(relay.port(), 1), PHONES);
    ASSERT_TRUE(waitForStatus(*publisher, connected));

    ReadingStream stream(PHONES.size());
    post(*publisher, stream.next(300));
    ASSERT_TRUE(subscriber.waitForCount(300, DEADLINE));
    relay.hold();
    post(*publisher, stream.next(500));
    // The bridge sends until the window is full, and then waits for confirmations.
    ASSERT_TRUE(waitForStatus(
        *publisher, [](const auto& s) { return s.inFlight == sensorstream::MQTT_WINDOW; }));
    relay.cut();
    ASSERT_TRUE(waitForStatus(*publisher, [](const auto& s) { return s.waiting == 0; }));
    const auto status = publisher->finish(5s);

    EXPECT_EQ(2, relay.connectionsAccepted()) << "one reconnection";
    const std::string last = stream.of((stream.total() - 1) % PHONES.size()).back().second;
    ASSERT_TRUE(waitForPayload(subscriber, last));
    const auto messages = subscriber.messages();
    for (std::size_t phone = 0; phone < PHONES.size(); ++phone) {
        SCOPED_TRACE(PHONES[phone]);
        EXPECT_EQ(stream.of(phone), firstArrivals(messagesOf(messages, phone)));
        EXPECT_EQ(stream.of(phone).size(), status.phones[phone].published);
    }
}

// With room for 50 readings and no broker, the first 50 posted wait and every later
// one is counted as its phone's overflow, exactly; the 50 go out in order once the
// broker is there.
TEST(MqttBridge, CountsOverflowPerPhoneWhenTheQueueIsFull) {
    MosquittoBroker broker;
    MqttSubscriber subscriber(broker.port(), SubscriberOptions{"bridge-test-full", "#", 1, ""});
    ASSERT_TRUE(subscriber.waitSubscriptions(1, DEADLINE));
    broker.stop(); // the subscriber's session is kept for its return

    auto settings = settingsFor(broker.port(), 1);
    settings.queueLimit = 50;
    const std::vector<std::string> twoPhones = {PHONES[0], PHONES[1]};
    auto publisher = sensorstream::makeMqttPublisher(settings, twoPhones);
    ASSERT_TRUE(waitForStatus(*publisher, [](const auto& s) {
        return s.state == BrokerState::Waiting && !s.problem.empty();
    }));
    ReadingStream stream(twoPhones.size());
    for (int round = 0; round < 10; ++round)
        post(*publisher, stream.next(20)); // the third batch fits in part
    auto status = publisher->status();
    EXPECT_EQ(50u, status.waiting);
    EXPECT_EQ(75u, status.phones[0].overflowed);
    EXPECT_EQ(75u, status.phones[1].overflowed);

    broker.start();
    ASSERT_TRUE(subscriber.waitForCount(50, DEADLINE)) << broker.log();
    ASSERT_TRUE(waitForStatus(*publisher, [](const auto& s) { return s.waiting == 0; }));
    status = publisher->finish(5s);

    const auto messages = subscriber.messages();
    for (std::size_t phone = 0; phone < twoPhones.size(); ++phone) {
        SCOPED_TRACE(twoPhones[phone]);
        const auto& made = stream.of(phone);
        const std::vector<std::pair<std::string, std::string>> queued(made.begin(),
                                                                      made.begin() + 25);
        EXPECT_EQ(queued, firstArrivals(messagesOf(messages, phone)));
        EXPECT_EQ(25u, status.phones[phone].published);
        EXPECT_EQ(75u, status.phones[phone].overflowed);
        EXPECT_EQ(0u, status.phones[phone].unsent);
    }
}

// A broker that refuses the password: the bridge says so, in the broker's words,
// posting goes on without waiting, and what could not go is counted as unsent.
// The right password connects.
TEST(MqttBridge, TellsARefusedPasswordAndKeepsCounting) {
    MosquittoBroker broker(BrokerOptions{false, "lab", "right horse", false});
    auto settings = settingsFor(broker.port(), 1);
    settings.user = "lab";
    settings.password = "wrong horse";
    auto refused = sensorstream::makeMqttPublisher(settings, PHONES);
    ASSERT_TRUE(
        waitForStatus(*refused, [](const auto& s) { return s.state == BrokerState::Refused; }));
    EXPECT_NE(std::string::npos, refused->status().problem.find("Connection Refused"))
        << refused->status().problem;
    bool told = false;
    for (const auto& line : refused->news())
        told = told || line.find("refused the connection") != std::string::npos;
    EXPECT_TRUE(told);

    ReadingStream stream(PHONES.size());
    post(*refused, stream.next(30));
    EXPECT_EQ(30u, refused->status().waiting);
    const auto status = refused->finish(300ms);
    for (std::size_t phone = 0; phone < PHONES.size(); ++phone) {
        EXPECT_EQ(10u, status.phones[phone].unsent);
        EXPECT_EQ(0u, status.phones[phone].published);
    }

    settings.password = "right horse";
    auto accepted = sensorstream::makeMqttPublisher(settings, PHONES);
    EXPECT_TRUE(waitForStatus(*accepted, connected)) << accepted->status().problem;
}

// TLS: the broker's certificate checks out against the authority given; against
// another authority the bridge does not connect and says why.
TEST(MqttBridge, ConnectsOverTlsCheckedAgainstTheAuthority) {
    MosquittoBroker broker(BrokerOptions{false, "", "", true});
    MqttSubscriber subscriber(broker.port());
    ASSERT_TRUE(subscriber.waitSubscriptions(1, DEADLINE));
    auto settings = settingsFor(broker.tlsPort(), 1);
    settings.caFile = broker.caFile();
    auto publisher = sensorstream::makeMqttPublisher(settings, PHONES);
    ReadingStream stream(PHONES.size());
    post(*publisher, stream.next(30));
    ASSERT_TRUE(subscriber.waitForCount(30, DEADLINE)) << publisher->status().problem;
    EXPECT_EQ(stream.of(0), messagesOf(subscriber.messages(), 0));

    MosquittoBroker stranger(BrokerOptions{false, "", "", true});
    settings.caFile = stranger.caFile();
    auto untrusting = sensorstream::makeMqttPublisher(settings, PHONES);
    ASSERT_TRUE(waitForStatus(*untrusting, [](const auto& s) {
        return s.state == BrokerState::Waiting && !s.problem.empty();
    }));
    post(*untrusting, stream.next(3));
    EXPECT_EQ(3u, untrusting->finish(300ms).phones[0].unsent +
                      untrusting->status().phones[1].unsent +
                      untrusting->status().phones[2].unsent);
}

} // namespace
