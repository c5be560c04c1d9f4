#include "mqtt_settings.h"

#include "tools/common/choice_parsing.h"
#include "tools/common/number_parsing.h"

#include <fstream>

namespace sensorstream {

namespace {

using kxtools::UsageError;

// MQTT limits topics and client ids to UTF-8 without control characters; these
// programs take printable ASCII, which every broker accepts.
bool isPrintableAscii(const std::string& text) {
    for (const char c : text) {
        if (c < 0x21 || c > 0x7e)
            return false;
    }
    return true;
}

// Remembers the first companion option, which means nothing without --mqtt.
void given(MqttSettings& settings, const char* option) {
    if (settings.firstCompanion.empty())
        settings.firstCompanion = option;
}

std::uint16_t brokerPort(const std::string& text) {
    return static_cast<std::uint16_t>(kxtools::parseInteger(text, "--mqtt port", 1, 65535));
}

} // namespace

std::string MqttSettings::address() const {
    const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return shown + ":" + std::to_string(effectivePort());
}

void parseBrokerAddress(const std::string& text, MqttSettings& settings) {
    std::string host = text;
    std::string port;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos || close == 1)
            throw UsageError("--mqtt: '" + text + "' is not HOST, HOST:PORT or [IPv6]:PORT");
        host = text.substr(1, close - 1);
        const std::string rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                throw UsageError("--mqtt: '" + text + "' is not HOST, HOST:PORT or [IPv6]:PORT");
            port = rest.substr(1);
        }
    } else if (const auto colon = text.find(':'); colon != std::string::npos) {
        if (text.find(':', colon + 1) != std::string::npos)
            throw UsageError("--mqtt: write an IPv6 address in brackets: [" + text + "]");
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (host.empty())
        throw UsageError("--mqtt: the broker's host is empty");
    if (!isPrintableAscii(host))
        throw UsageError("--mqtt: '" + host + "' is not a host name or address");
    settings.host = host;
    settings.port = port.empty() ? 0 : brokerPort(port);
}

std::string topicPrefixProblem(const std::string& text) {
    if (text.empty())
        return "the prefix is empty";
    if (text.front() == '$')
        return "topics starting with '$' belong to the broker";
    if (text.find_first_of("+#") != std::string::npos)
        return "'+' and '#' are wildcards, not part of a topic";
    if (!isPrintableAscii(text))
        return "a topic here is printable ASCII without spaces";
    if (text.front() == '/' || text.back() == '/' || text.find("//") != std::string::npos)
        return "a level of the prefix is empty (a '/' at the start, the end or twice)";
    if (text.size() > 200)
        return "the prefix is longer than 200 characters";
    return "";
}

void addMqttOptions(kxtools::OptionParser& parser, MqttSettings& s) {
    parser
        .option("mqtt", "HOST[:PORT]",
                "also publish every reading to this MQTT broker (port 1883, 8883 with\n"
                "--mqtt-ca), topic PREFIX/PHONE/MEASUREMENT, payload the reading's JSON\n"
                "object; readings wait in a bounded queue while the broker is away",
                [&s](const std::string& value) { parseBrokerAddress(value, s); })
        .option("mqtt-prefix", "TOPIC",
                "the first levels of every topic (default \"" + std::string(MQTT_DEFAULT_PREFIX) +
                    "\")",
                [&s](const std::string& value) {
                    given(s, "--mqtt-prefix");
                    if (const auto problem = topicPrefixProblem(value); !problem.empty())
                        throw UsageError("--mqtt-prefix: '" + value + "': " + problem);
                    s.prefix = value;
                })
        .option("mqtt-qos", "0|1",
                "1 (the default): the broker confirms every reading, which is sent\n"
                "again after a lost connection; 0: sent once, unconfirmed",
                [&s](const std::string& value) {
                    given(s, "--mqtt-qos");
                    s.qos = kxtools::parseChoice<int>(value, "--mqtt-qos", "a QoS",
                                                      {{"0", 0}, {"1", 1}});
                })
        .option("mqtt-client-id", "ID", "the client id to connect with (default: one made up)",
                [&s](const std::string& value) {
                    given(s, "--mqtt-client-id");
                    if (value.empty() || value.size() > 65535 || !isPrintableAscii(value))
                        throw UsageError("--mqtt-client-id: '" + value +
                                         "' is not printable ASCII of 1 to 65535 characters");
                    s.clientId = value;
                })
        .option("mqtt-user", "NAME", "the user name to connect with",
                [&s](const std::string& value) {
                    given(s, "--mqtt-user");
                    if (value.empty())
                        throw UsageError("--mqtt-user: the user name is empty");
                    s.user = value;
                })
        .option("mqtt-password", "TEXT",
                "the user's password (or in the environment variable\n" +
                    std::string(MQTT_PASSWORD_VARIABLE) + ", which others cannot read)",
                [&s](const std::string& value) {
                    given(s, "--mqtt-password");
                    s.password = value;
                })
        .option("mqtt-ca", "FILE",
                "connect with TLS and check the broker's certificate against the\n"
                "certificate authorities in FILE (PEM)",
                [&s](const std::string& value) {
                    given(s, "--mqtt-ca");
                    if (value.empty() || !std::ifstream(value).good())
                        throw UsageError("--mqtt-ca: cannot read '" + value + "'");
                    s.caFile = value;
                })
        .option("mqtt-queue", "N",
                "readings that may wait for the broker, at least 1 (default " +
                    std::to_string(MQTT_DEFAULT_QUEUE) +
                    ");\n"
                    "beyond, readings are not published and counted per phone",
                [&s](const std::string& value) {
                    given(s, "--mqtt-queue");
                    s.queueLimit = static_cast<std::size_t>(
                        kxtools::parseInteger(value, "--mqtt-queue", 1, 100000000));
                });
}

void completeMqttSettings(MqttSettings& s, const char* passwordFromEnvironment) {
    if (!s.enabled()) {
        if (!s.firstCompanion.empty())
            throw UsageError(s.firstCompanion + " needs --mqtt HOST[:PORT]");
        return;
    }
    if (!s.password.empty() && s.user.empty())
        throw UsageError("--mqtt-password needs --mqtt-user");
    if (!s.user.empty() && s.password.empty() && passwordFromEnvironment != nullptr)
        s.password = passwordFromEnvironment;
}

} // namespace sensorstream
