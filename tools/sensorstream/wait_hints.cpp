#include "wait_hints.h"

#include <cstdio>

namespace sensorstream {

WaitHints::WaitHints(Clock::time_point listening, double noDatagramSeconds)
    : start(listening), noDatagramAfter(noDatagramSeconds),
      noDatagramGiven(noDatagramSeconds <= 0.0) {}

std::vector<WaitHint> WaitHints::due(Clock::time_point now,
                                     std::optional<Clock::time_point> firstDatagram,
                                     bool readingsCame) {
    std::vector<WaitHint> hints;
    if (readingsCame)
        return hints;
    const double waited = std::chrono::duration<double>(now - start).count();
    if (!noDatagramGiven && !firstDatagram && waited >= noDatagramAfter) {
        noDatagramGiven = true;
        hints.push_back(WaitHint::NoDatagram);
    }
    if (!otherFormatGiven && firstDatagram && now - *firstDatagram >= OTHER_FORMAT_AFTER) {
        otherFormatGiven = true;
        hints.push_back(WaitHint::OtherFormat);
    }
    return hints;
}

namespace {

// The option that names the phone's app: --app without --phone.
std::string appOption(const Settings& settings, const PhoneSpec& phone) {
    if (settings.phones.size() > 1)
        return "--phone " + phone.name + "=" + appName(phone.app);
    return std::string("--app ") + appName(phone.app);
}

std::string noDatagramText(const Settings& settings, const PhoneSpec& phone, std::uint16_t port) {
    const std::string portText = std::to_string(port);
    char waited[32];
    std::snprintf(waited, sizeof waited, "%g", settings.hintAfter);
    std::string text = "no datagram has arrived in " + std::string(waited) + " s. Check that:\n" +
                       "  - the phone is on the same network as this computer;\n" +
                       "  - the app sends to one of the addresses printed above, port " + portText +
                       ";\n" + "  - the app's format matches " + appOption(settings, phone) +
                       (phone.app == App::Text ? " (comma-separated text lines)"
                                               : " (fixed-length binary records)") +
                       ";\n" + "  - a firewall lets UDP in on port " + portText +
                       " (for example: sudo ufw allow " + portText + "/udp)";
    if (isLoopbackOnly(settings.bind))
        text += ";\n  - sensorstream listens on " + settings.bind +
                " only: a phone needs --bind 0.0.0.0";
    return text;
}

} // namespace

std::string hintText(WaitHint hint, const Settings& settings, std::size_t phoneIndex,
                     std::uint16_t port) {
    const PhoneSpec phone = phoneIndex < settings.phones.size()
                                ? settings.phones[phoneIndex]
                                : PhoneSpec{DEFAULT_PHONE_NAME, settings.app, port};
    const std::string prefix = settings.phones.size() > 1 ? "phone " + phone.name + " (UDP port " +
                                                                std::to_string(port) + "): "
                                                          : std::string();
    if (hint == WaitHint::NoDatagram)
        return prefix + noDatagramText(settings, phone, port);
    return prefix + "datagrams arrive but none is a reading of the " + appName(phone.app) +
           " app: does the app's format match " + appOption(settings, phone) + "?";
}

} // namespace sensorstream
