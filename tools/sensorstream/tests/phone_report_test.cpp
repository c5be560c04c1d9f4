#include "tools/sensorstream/phone_report.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace sensorstream;
using Lines = std::vector<std::string>;

PhoneState phone(const std::string& name, std::uint16_t port, std::uint64_t accelerations,
                 double rate) {
    PhoneState state;
    state.name = name;
    state.port = port;
    state.counts[1] = accelerations;
    state.rates[1] = rate;
    return state;
}

PublisherStatus broker(BrokerState state, const std::string& problem, std::size_t waiting,
                       std::vector<PhonePublishing> phones) {
    PublisherStatus status;
    status.state = state;
    status.address = "127.0.0.1:1883";
    status.problem = problem;
    status.waiting = waiting;
    status.phones = std::move(phones);
    return status;
}

TEST(PhoneReport, BrokerStatusSaysTheStateWhatWaitsAndWhatOverflowed) {
    EXPECT_EQ("mqtt to 127.0.0.1:1883: connected, 12 waiting",
              brokerStatusText(broker(BrokerState::Connected, "", 12, {{}, {}})));
    EXPECT_EQ("mqtt to 127.0.0.1:1883: down (Connection refused), 1234 waiting, 56 overflowed",
              brokerStatusText(broker(BrokerState::Waiting, "Connection refused", 1234,
                                      {{0, 50, 0, 0}, {0, 6, 0, 0}})));
    EXPECT_EQ("mqtt to 127.0.0.1:1883: refused (not authorised), 0 waiting",
              brokerStatusText(broker(BrokerState::Refused, "not authorised", 0, {})));
    EXPECT_EQ("mqtt to 127.0.0.1:1883: connecting, 0 waiting",
              brokerStatusText(broker(BrokerState::Connecting, "", 0, {})));
}

// One phone: the status line as before, the broker's state after it. Several: a
// first line for all, then a line a phone with its own readings, rates or the port
// it waits on, and its overflow.
TEST(PhoneReport, StatusLinesOneAndSeveralPhones) {
    EXPECT_EQ(Lines{"2.0 s  10 readings  accel 5.0/s"},
              statusLines(2.0, {phone("phone", 50000, 10, 5.0)}, nullptr));
    const auto status = broker(BrokerState::Connected, "", 3, {{10, 0, 0, 0}});
    EXPECT_EQ(
        Lines{"2.0 s  10 readings  accel 5.0/s  mqtt to 127.0.0.1:1883: connected, 3 waiting"},
        statusLines(2.0, {phone("phone", 50000, 10, 5.0)}, &status));

    const auto away =
        broker(BrokerState::Waiting, "Connection refused", 40, {{0, 0, 0, 0}, {0, 7, 0, 0}});
    EXPECT_EQ(
        Lines({"3.5 s  30 readings from 2 phones  mqtt to 127.0.0.1:1883: down (Connection "
               "refused), 40 waiting, 7 overflowed",
               "  left    waiting for the phone on UDP port 50000",
               "  right2  30 readings  accel 8.5/s  7 overflowed"}),
        statusLines(3.5, {phone("left", 50000, 0, 0.0), phone("right2", 50001, 30, 8.5)}, &away));
}

// The summary accounts for every phone: its readings and its buffers under its
// name, and with a broker what of its output was published and what was not.
TEST(PhoneReport, SummaryAccountsForEveryPhoneAndTheBroker) {
    PhoneOutcome left;
    left.name = "left";
    left.counts[1] = 100;
    left.accounting.written = 100;
    left.accounting.output = 100;
    PhoneOutcome right;
    right.name = "right";
    right.counts[1] = 60;
    right.accounting.written = 62;
    right.accounting.output = 60;
    right.accounting.notConverted = 2;
    const auto status = broker(BrokerState::Connected, "", 0, {{100, 0, 0, 0}, {45, 10, 1, 4}});
    EXPECT_EQ("2 phones: 160 readings in 2.0 s (80.0 a second): acceleration 160\n"
              "left: 100 readings in 2.0 s (50.0 a second): acceleration 100\n"
              "left: buffers written by the device 100, readings output 100: none lost\n"
              "right: 60 readings in 2.0 s (30.0 a second): acceleration 60\n"
              "right: buffers written by the device 62, readings output 60, 2 the converter "
              "made nothing of: none lost\n"
              "mqtt to 127.0.0.1:1883: left: readings output 100, published 100: all published\n"
              "mqtt to 127.0.0.1:1883: right: readings output 60, published 45, 10 overflowed "
              "the queue, 1 refused by the client library, 4 unsent at the end: 15 not "
              "published\n",
              runSummary(2.0, {left, right}, &status));

    const auto one = broker(BrokerState::Waiting, "", 0, {{90, 10, 0, 0}});
    EXPECT_EQ("100 readings in 2.0 s (50.0 a second): acceleration 100\n"
              "buffers written by the device 100, readings output 100: none lost\n"
              "mqtt to 127.0.0.1:1883: readings output 100, published 90, 10 overflowed the "
              "queue: 10 not published\n",
              runSummary(2.0, {left}, &one));
}

} // namespace
