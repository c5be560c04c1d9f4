#include "device_news.h"

#include <utility>

namespace sensorstream {

std::string messageNews(const std::string& deviceName, const korvex::host::Message& message) {
    const std::string kind = message.type == "warning" ? "warning" : "error";
    return kind + " from " + deviceName + ": " + messageText(message);
}

std::optional<std::string> propertyNews(const std::string& name, const std::string& valueText,
                                        std::optional<double> valueNumber, std::uint16_t port) {
    if (name == "IPAddress")
        return "the phone reached this computer at " + valueText +
               " (IPAddress); from now on only that phone is heard";
    if (name == "PortNumber") {
        if (valueNumber && *valueNumber != 0.0 && *valueNumber != static_cast<double>(port))
            return "PortNumber is now " + valueText;
        return std::nullopt;
    }
    return name + " is now " + valueText;
}

DeviceNews::DeviceNews(Console& sharedConsole, SensorSession& sensor, std::uint16_t listening,
                       std::string phoneLabel)
    : console(sharedConsole), session(sensor), port(listening), label(std::move(phoneLabel)) {}

void DeviceNews::show() {
    for (const auto& message : session.newMessages())
        console.say(label + messageNews(session.deviceName(), message));
    for (const auto& property : session.newProperties()) {
        const std::string name = property->getName();
        if (name == "IPAddress")
            datagramSeen = Clock::now();
        const auto news = propertyNews(name, session.valueText(property.get()),
                                       session.valueNumber(property.get()), port);
        if (news)
            console.say(label + *news);
    }
}

} // namespace sensorstream
