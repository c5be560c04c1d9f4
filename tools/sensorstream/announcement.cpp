#include "announcement.h"

namespace sensorstream {

std::string appDescription(const Settings& settings) {
    return std::string(devicePluginName(settings.app)) + " (" + appName(settings.app) + " app)";
}

std::vector<std::string> announcementLines(const Settings& settings,
                                           const std::vector<std::string>& interfaces,
                                           std::uint16_t port) {
    const std::string portText = std::to_string(port);
    const std::string address =
        settings.bind.empty() ? "every address of this computer" : settings.bind;
    std::vector<std::string> lines{appDescription(settings) + " listening on " + address +
                                   ", UDP port " + portText};
    if (interfaces.empty()) {
        lines.push_back("this computer has no network address besides loopback: a phone cannot "
                        "reach it");
    } else {
        std::string list;
        for (const auto& item : interfaces)
            list += (list.empty() ? "" : ", ") + item;
        lines.push_back("point the phone app at port " + portText +
                        " and one of this computer's addresses: " + list);
    }
    if (isLoopbackOnly(settings.bind))
        lines.push_back(settings.bind + " is reachable from this computer only; start with --bind "
                                        "0.0.0.0 to let a phone in");
    if (!settings.count && !settings.duration)
        lines.push_back("Ctrl-C stops");
    return lines;
}

std::string liveTitle(const Settings& settings, std::uint16_t port) {
    return "sensorstream: " + appDescription(settings) + " on " +
           (settings.bind.empty() ? "0.0.0.0" : settings.bind) + ":" + std::to_string(port) +
           "   (Ctrl-C ends)";
}

} // namespace sensorstream
