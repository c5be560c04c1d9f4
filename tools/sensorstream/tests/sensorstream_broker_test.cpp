// sensorstream as a child process with several phones (phonesim on 127.0.0.1) and
// --mqtt to a mosquitto broker the test starts on 127.0.0.1: what the subscriber
// receives must be the program's own JSON lines, phone by phone, in order, under
// PREFIX/PHONE/MEASUREMENT; what could not be published must be counted.

#include "expected_readings.h"
#include "json_reader.h"
#include "mobilesensor/device/testing/udp_probe.h"
#include "mosquitto_broker.h"
#include "mqtt_subscriber.h"
#include "program_runs.h"
#include "tools/common/child_process.h"
#include "tools/phonesim/recording.h"
#include "tools/phonesim/scenario.h"
#include "tools/sensorstream/mqtt_topics.h"
#include "tools/sensorstream/sample_record.h"

#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using kxtools::ChildProcess;
using kxtools::ChildResult;
using phonesim::App;
using sensorstream::testing::BrokerOptions;
using sensorstream::testing::expectedReadings;
using sensorstream::testing::JsonValue;
using sensorstream::testing::linesOf;
using sensorstream::testing::MosquittoBroker;
using sensorstream::testing::MqttSubscriber;
using sensorstream::testing::parseJson;
using sensorstream::testing::ReceivedMessage;
using sensorstream::testing::SubscriberOptions;

constexpr auto DEADLINE = 60s;
const std::string PREFIX = "lab/test";

// A phone of the test: its name, app, port and the datagrams phonesim sends it.
struct TestPhone {
    std::string name;
    App app = App::Text;
    std::uint16_t port = 0;
    std::uint64_t seed = 1;
    double rate = 50;
    std::size_t datagrams = 0;
    std::size_t readings = 0; // what the device and the converter make of them

    std::string option() const {
        return name + "=" + phonesim::appName(app) + ":" + std::to_string(port);
    }
};

// The first `datagrams` of the phone's scenario, and the readings they become.
void plan(TestPhone& phone, std::size_t datagrams) {
    phonesim::ScenarioConfig config;
    config.app = phone.app;
    config.seed = phone.seed;
    config.motionRate = phone.rate;
    phonesim::Scenario scenario(config);
    std::vector<phonesim::Reading> sent;
    for (std::size_t i = 0; i < datagrams; ++i)
        sent.push_back(scenario.next());
    phone.datagrams = datagrams;
    phone.readings = expectedReadings(sent).size();
}

// Free UDP ports, all different.
std::vector<std::uint16_t> freePorts(std::size_t count) {
    std::set<std::uint16_t> ports;
    while (ports.size() < count)
        ports.insert(mobilesensor::testing::findFreePort());
    return {ports.begin(), ports.end()};
}

std::unique_ptr<ChildProcess> startSensorstream(const std::vector<TestPhone>& phones,
                                                std::vector<std::string> arguments) {
    std::vector<std::string> command{SENSORSTREAM_PATH};
    for (const auto& phone : phones)
        command.insert(command.end(), {"--phone", phone.option()});
    command.insert(command.end(), arguments.begin(), arguments.end());
    auto child = std::make_unique<ChildProcess>(command);
    for (const auto& phone : phones)
        EXPECT_TRUE(child->waitForError("UDP port " + std::to_string(phone.port), 20s))
            << phone.name << " is not listening";
    return child;
}

// phonesim sending the phone's datagrams from `first` on (of its scenario) at its
// rate; one process a phone, all at once.
std::vector<std::unique_ptr<ChildProcess>> startPhones(const std::vector<TestPhone>& phones,
                                                       std::size_t count) {
    std::vector<std::unique_ptr<ChildProcess>> senders;
    for (const auto& phone : phones)
        senders.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{
            PHONESIM_PATH, "--quiet", "--port", std::to_string(phone.port), "--app",
            phonesim::appName(phone.app), "--seed", std::to_string(phone.seed), "--rate",
            std::to_string(phone.rate), "--count", std::to_string(count)}));
    return senders;
}

void expectSent(std::vector<std::unique_ptr<ChildProcess>>& senders) {
    for (auto& sender : senders) {
        const auto result = sender->wait(DEADLINE);
        EXPECT_EQ(0, result.exitCode) << result.err;
    }
}

// The output's JSON lines by their "Phone", in order.
std::map<std::string, std::vector<std::string>> linesByPhone(const std::string& output) {
    std::map<std::string, std::vector<std::string>> byPhone;
    for (const auto& line : linesOf(output)) {
        const JsonValue object = parseJson(line);
        byPhone[object.at("Phone").text].push_back(line);
    }
    return byPhone;
}

std::string phoneOfTopic(const std::string& topic) {
    const std::size_t start = PREFIX.size() + 1;
    return topic.substr(start, topic.find('/', start) - start);
}

// The payloads received per phone, in arrival order, each checked against its
// topic: PREFIX/PHONE/MEASUREMENT of the reading it carries.
std::map<std::string, std::vector<std::string>>
payloadsByPhone(const std::vector<ReceivedMessage>& messages) {
    std::map<std::string, std::vector<std::string>> byPhone;
    for (const auto& message : messages) {
        const JsonValue object = parseJson(message.payload);
        const std::string phone = object.at("Phone").text;
        const auto measurement = static_cast<std::int32_t>(object.at("Measurement").number);
        EXPECT_EQ(PREFIX + "/" + phone + "/" +
                      sensorstream::topicLevel(sensorstream::measurementName(measurement)),
                  message.topic);
        byPhone[phoneOfTopic(message.topic)].push_back(message.payload);
    }
    return byPhone;
}

// A broker may deliver a reading twice at QoS 1 when a connection broke before it
// confirmed it: the first arrivals only.
std::vector<std::string> firstArrivals(const std::vector<std::string>& payloads) {
    std::set<std::string> seen;
    std::vector<std::string> first;
    for (const auto& payload : payloads) {
        if (seen.insert(payload).second)
            first.push_back(payload);
    }
    return first;
}

// The counts of the summary's broker line of a phone: published (confirmed by the
// broker), overflowed and unsent at the end (sent perhaps, but never confirmed).
struct Published {
    std::uint64_t output = 0;
    std::uint64_t published = 0;
    std::uint64_t overflowed = 0;
    std::uint64_t unsent = 0;
};

Published publishedOf(const std::string& err, const std::string& address,
                      const std::string& phone) {
    std::smatch match;
    const std::regex line("sensorstream: mqtt to " + address + ": " + phone +
                          ": readings output ([0-9]+), published ([0-9]+)(, ([0-9]+) overflowed "
                          "the queue)?(, ([0-9]+) unsent at the end)?");
    Published counts;
    if (!std::regex_search(err, match, line)) {
        ADD_FAILURE() << "no broker line for " << phone << " in " << err;
        return counts;
    }
    counts.output = std::stoull(match[1]);
    counts.published = std::stoull(match[2]);
    counts.overflowed = match[4].matched ? std::stoull(match[4]) : 0;
    counts.unsent = match[6].matched ? std::stoull(match[6]) : 0;
    return counts;
}

// Five phones of both apps, each at about 200 readings a second for about 20 s, at
// QoS 1: the subscriber receives every reading exactly once, in order per phone,
// with the program's own JSON line as payload under the reading's topic.
TEST(SensorstreamBroker, FivePhonesEveryReadingOnceInOrderAtQos1) {
    MosquittoBroker broker(BrokerOptions{false, "", "", false});
    MqttSubscriber subscriber(broker.port(), SubscriberOptions{"", PREFIX + "/#", 1, ""});
    ASSERT_TRUE(subscriber.waitSubscriptions(1, DEADLINE));

    const auto ports = freePorts(5);
    std::vector<TestPhone> phones;
    std::size_t total = 0;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        TestPhone phone;
        phone.name = "phone" + std::to_string(i + 1);
        phone.app = i % 2 == 0 ? App::Binary : App::Text;
        phone.port = ports[i];
        phone.seed = 20 + i;
        // About 200 datagrams a second: the binary app sends four motion kinds, the
        // text app three, each at the rate.
        phone.rate = phone.app == App::Binary ? 50 : 66;
        plan(phone, 4000);
        total += phone.readings;
        phones.push_back(phone);
    }
    auto receiver = startSensorstream(phones, {"--mqtt", broker.address(), "--mqtt-prefix", PREFIX,
                                               "--mqtt-qos", "1", "--count", std::to_string(total),
                                               "--duration", "120"});
    ASSERT_TRUE(receiver->waitForError("mqtt: connected to " + broker.address(), DEADLINE));
    auto senders = startPhones(phones, 4000);
    expectSent(senders);
    const ChildResult result = receiver->wait(120s);
    ASSERT_EQ(0, result.exitCode) << result.err;
    ASSERT_TRUE(subscriber.waitForCount(total, DEADLINE)) << subscriber.count() << " of " << total;

    const auto output = linesByPhone(result.out);
    const auto messages = subscriber.messages();
    EXPECT_EQ(total, messages.size()) << "every reading exactly once";
    const auto received = payloadsByPhone(messages);
    for (const auto& phone : phones) {
        SCOPED_TRACE(phone.name);
        ASSERT_EQ(1u, output.count(phone.name));
        EXPECT_EQ(phone.readings, output.at(phone.name).size()) << "nothing lost on the way in";
        ASSERT_EQ(1u, received.count(phone.name));
        EXPECT_TRUE(output.at(phone.name) == received.at(phone.name))
            << "the subscriber got the output's lines, in order";
        const auto counts = publishedOf(result.err, broker.address(), phone.name);
        EXPECT_EQ(phone.readings, counts.output);
        EXPECT_EQ(phone.readings, counts.published);
    }
    for (const auto& message : messages)
        ASSERT_EQ(1, message.qos) << message.topic;
    EXPECT_NE(std::string::npos,
              result.err.find("sensorstream: 5 phones: " + std::to_string(total) + " readings in "))
        << result.err;
}

// The broker stops in the middle of a run and starts again. What the phones send
// meanwhile waits, up to the queue's 100 readings; every later reading is counted as
// its phone's overflow. After the broker is back the subscriber (whose session the
// broker kept) gets every reading that was not counted, in order; the files got all.
TEST(SensorstreamBroker, BrokerStoppedAndStartedAgainOverflowIsCountedExactly) {
    MosquittoBroker broker;
    MqttSubscriber subscriber(broker.port(),
                              SubscriberOptions{"sensorstream-restart", PREFIX + "/#", 1, ""});
    ASSERT_TRUE(subscriber.waitSubscriptions(1, DEADLINE));

    const auto ports = freePorts(2);
    std::vector<TestPhone> phones(2);
    for (std::size_t i = 0; i < phones.size(); ++i) {
        // The binary app: its readings do not depend on earlier ones, as the text
        // app's location fixes do, so each batch's readings are known in advance.
        phones[i].name = i == 0 ? "left" : "right";
        phones[i].app = App::Binary;
        phones[i].port = ports[i];
        phones[i].seed = 40 + i;
        phones[i].rate = 100;
    }
    auto receiver = startSensorstream(phones, {"--mqtt", broker.address(), "--mqtt-prefix", PREFIX,
                                               "--mqtt-queue", "100", "--duration", "120"});
    ASSERT_TRUE(receiver->waitForError("mqtt: connected to " + broker.address(), DEADLINE));

    // Before: everything goes out.
    std::size_t sentBefore = 0;
    {
        auto senders = startPhones(phones, 150);
        expectSent(senders);
        for (auto& phone : phones) {
            plan(phone, 150);
            sentBefore += phone.readings;
        }
        ASSERT_TRUE(receiver->waitForOutputLines(sentBefore, DEADLINE));
        ASSERT_TRUE(subscriber.waitForCount(sentBefore, DEADLINE));
    }
    broker.stop();
    ASSERT_TRUE(
        receiver->waitForError("mqtt: lost the connection to " + broker.address(), DEADLINE));
    // While the broker is away: far more than the queue holds. Each phone goes on
    // where its scenario left off, so its readings stay distinct.
    std::size_t sentAway = 0;
    {
        for (auto& phone : phones)
            phone.seed += 100;
        auto senders = startPhones(phones, 300);
        expectSent(senders);
        for (auto& phone : phones) {
            plan(phone, 300);
            sentAway += phone.readings;
        }
        ASSERT_TRUE(receiver->waitForOutputLines(sentBefore + sentAway, DEADLINE));
    }
    broker.start();
    ASSERT_TRUE(subscriber.waitSubscriptions(2, DEADLINE)) << broker.log();
    // The first reading that waited arrives: the bridge is connected again. At the
    // end it sends what still waits before it gives up.
    ASSERT_TRUE(subscriber.waitForCount(sentBefore + 1, DEADLINE));
    receiver->interrupt();
    const ChildResult result = receiver->wait(DEADLINE);
    ASSERT_EQ(0, result.exitCode) << result.err;

    const auto output = linesByPhone(result.out);
    std::uint64_t overflowed = 0;
    std::uint64_t published = 0;
    for (const auto& phone : phones) {
        SCOPED_TRACE(phone.name);
        const auto counts = publishedOf(result.err, broker.address(), phone.name);
        EXPECT_EQ(output.at(phone.name).size(), counts.output);
        EXPECT_EQ(counts.output, counts.published + counts.overflowed + counts.unsent)
            << "every reading published or counted";
        overflowed += counts.overflowed;
        published += counts.published;
    }
    // At most the queue's 100 readings waited: every later one overflowed.
    EXPECT_GE(overflowed, sentAway - 100);
    EXPECT_LE(overflowed, sentAway);
    ASSERT_TRUE(subscriber.waitForCount(published, DEADLINE));

    // The subscriber's readings of each phone: its output in order, less exactly as
    // many readings as were counted, all of them sent while the broker was away.
    const auto received = payloadsByPhone(subscriber.messages());
    for (const auto& phone : phones) {
        SCOPED_TRACE(phone.name);
        const auto& lines = output.at(phone.name);
        const auto first = firstArrivals(received.at(phone.name));
        const auto counts = publishedOf(result.err, broker.address(), phone.name);
        // At QoS 1 a reading whose confirmation had not come back when the broker
        // stopped, or when the program gave up at the end, may have arrived all the
        // same: it is counted unsent, not published.
        EXPECT_GE(first.size(), counts.published);
        EXPECT_LE(first.size(), counts.published + counts.unsent);
        std::size_t at = 0;
        std::size_t missing = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (at < first.size() && first[at] == lines[i]) {
                ++at;
                continue;
            }
            ++missing;
        }
        EXPECT_EQ(first.size(), at) << "in the order of the output, nothing else";
        EXPECT_GE(missing, counts.overflowed);
        EXPECT_LE(missing, counts.overflowed + counts.unsent);
    }
}

// A broker that refuses the password: sensorstream says so in the broker's words,
// goes on writing every reading locally, and counts what it could not publish.
TEST(SensorstreamBroker, ARefusedPasswordIsToldAndLocalOutputGoesOn) {
    MosquittoBroker broker(BrokerOptions{false, "lab", "right", false});
    const auto ports = freePorts(1);
    std::vector<TestPhone> phones(1);
    phones[0].name = "desk";
    phones[0].port = ports[0];
    phones[0].rate = 100;
    plan(phones[0], 200);
    auto receiver = startSensorstream(
        phones, {"--mqtt", broker.address(), "--mqtt-user", "lab", "--mqtt-password", "wrong",
                 "--count", std::to_string(phones[0].readings), "--duration", "60"});
    ASSERT_TRUE(receiver->waitForError(broker.address() + " refused the connection: ", DEADLINE))
        << broker.log();
    auto senders = startPhones(phones, 200);
    expectSent(senders);
    const ChildResult result = receiver->wait(DEADLINE);
    ASSERT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ(phones[0].readings, linesOf(result.out).size()) << "local output went on";
    EXPECT_NE(std::string::npos, result.err.find("not authorised")) << result.err;
    EXPECT_NE(std::string::npos,
              result.err.find("mqtt to " + broker.address() + ": readings output " +
                              std::to_string(phones[0].readings) + ", published 0, " +
                              std::to_string(phones[0].readings) + " unsent at the end: " +
                              std::to_string(phones[0].readings) + " not published"))
        << result.err;
}

} // namespace
