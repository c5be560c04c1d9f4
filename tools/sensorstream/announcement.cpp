#include "announcement.h"

namespace sensorstream {

namespace {

std::string listOf(const std::vector<std::string>& items) {
    std::string list;
    for (const auto& item : items)
        list += (list.empty() ? "" : ", ") + item;
    return list;
}

std::string brokerLine(const MqttSettings& mqtt) {
    return "publishing every reading to " + mqtt.address() + (mqtt.tls() ? " (TLS)" : "") + " as " +
           mqtt.prefix + "/PHONE/MEASUREMENT, QoS " + std::to_string(mqtt.qos) + "; up to " +
           std::to_string(mqtt.queueLimit) + " readings wait while the broker is away";
}

} // namespace

std::string appDescription(App app) {
    return std::string(devicePluginName(app)) + " (" + appName(app) + " app)";
}

std::vector<std::string> announcementLines(const Settings& settings,
                                           const std::vector<std::string>& interfaces,
                                           const std::vector<std::uint16_t>& ports) {
    const std::string address =
        settings.bind.empty() ? "every address of this computer" : settings.bind;
    const bool several = settings.phones.size() > 1;
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < settings.phones.size() && i < ports.size(); ++i) {
        const auto& phone = settings.phones[i];
        lines.push_back((several ? "phone " + phone.name + ": " : std::string()) +
                        appDescription(phone.app) + " listening on " + address + ", UDP port " +
                        std::to_string(ports[i]));
    }
    if (interfaces.empty()) {
        lines.push_back("this computer has no network address besides loopback: a phone cannot "
                        "reach it");
    } else if (several) {
        lines.push_back("point each phone's app at its own port above and one of this computer's "
                        "addresses: " +
                        listOf(interfaces));
    } else if (!ports.empty()) {
        lines.push_back("point the phone app at port " + std::to_string(ports.front()) +
                        " and one of this computer's addresses: " + listOf(interfaces));
    }
    if (several)
        lines.push_back("a port hears only the first phone that sends to it: two phones cannot "
                        "share one");
    if (isLoopbackOnly(settings.bind))
        lines.push_back(settings.bind + " is reachable from this computer only; start with --bind "
                                        "0.0.0.0 to let a phone in");
    if (settings.mqtt.enabled())
        lines.push_back(brokerLine(settings.mqtt));
    if (!settings.count && !settings.duration)
        lines.push_back("Ctrl-C stops");
    return lines;
}

std::string liveTitle(const Settings& settings, const std::vector<std::uint16_t>& ports) {
    const std::string address = settings.bind.empty() ? "0.0.0.0" : settings.bind;
    if (settings.phones.size() == 1 && !ports.empty())
        return "sensorstream: " + appDescription(settings.phones.front().app) + " on " + address +
               ":" + std::to_string(ports.front()) + "   (Ctrl-C ends)";
    return "sensorstream: " + std::to_string(settings.phones.size()) + " phones on " + address +
           "   (Ctrl-C ends)";
}

std::string liveSectionTitle(const PhoneSpec& phone, std::uint16_t port) {
    return phone.name + ": " + appDescription(phone.app) + " on UDP port " + std::to_string(port);
}

} // namespace sensorstream
