#pragma once

// The broker side of sensorstream: --mqtt HOST[:PORT] and the options that say
// how readings are published (topic prefix, QoS, who connects, TLS, how many
// readings may wait for the broker).

#include "tools/common/option_parser.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace sensorstream {

constexpr std::uint16_t MQTT_PORT = 1883;
constexpr std::uint16_t MQTT_TLS_PORT = 8883;
constexpr const char* MQTT_DEFAULT_PREFIX = "sensorstream";
constexpr std::size_t MQTT_DEFAULT_QUEUE = 100000;
// The password may come from the environment instead of the command line, where
// every user of the computer can read it.
constexpr const char* MQTT_PASSWORD_VARIABLE = "SENSORSTREAM_MQTT_PASSWORD";

struct MqttSettings {
    std::string host;       // empty: no broker
    std::uint16_t port = 0; // 0: 1883, or 8883 with TLS
    std::string prefix = MQTT_DEFAULT_PREFIX;
    int qos = 1;
    std::string clientId; // empty: the library makes one up
    std::string user;
    std::string password;
    std::string caFile; // set: TLS, the broker's certificate checked against it
    std::size_t queueLimit = MQTT_DEFAULT_QUEUE; // readings that may wait for the broker
    std::string firstCompanion;                  // the first --mqtt-... option given, for its check

    bool enabled() const { return !host.empty(); }
    bool tls() const { return !caFile.empty(); }
    std::uint16_t effectivePort() const {
        return port != 0 ? port : (tls() ? MQTT_TLS_PORT : MQTT_PORT);
    }
    // "broker.lab:1883", "[::1]:1883".
    std::string address() const;
};

// Adds --mqtt and its companions to a parser; they fill settings.
void addMqttOptions(kxtools::OptionParser& parser, MqttSettings& settings);

// The checks that need every option: the companions of --mqtt without it, a
// password without a user. Takes the password from MQTT_PASSWORD_VARIABLE when a
// user has none. Throws kxtools::UsageError.
void completeMqttSettings(MqttSettings& settings, const char* passwordFromEnvironment);

// "HOST" or "HOST:PORT" ("[v6 address]:PORT" for IPv6): fills host and port.
// Throws kxtools::UsageError naming --mqtt.
void parseBrokerAddress(const std::string& text, MqttSettings& settings);

// Whether text can start every topic: one or more levels split by '/', none of
// them empty, no wildcard ('+', '#'), no NUL, not starting with '$' (the broker's
// own topics). Empty string when it can; else why not.
std::string topicPrefixProblem(const std::string& text);

} // namespace sensorstream
