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

std::string noDatagramText(const Settings& settings, std::uint16_t port) {
    const std::string portText = std::to_string(port);
    char waited[32];
    std::snprintf(waited, sizeof waited, "%g", settings.hintAfter);
    std::string text = "no datagram has arrived in " + std::string(waited) + " s. Check that:\n" +
                       "  - the phone is on the same network as this computer;\n" +
                       "  - the app sends to one of the addresses printed above, port " + portText +
                       ";\n" + "  - the app's format matches --app " + appName(settings.app) +
                       (settings.app == App::Text ? " (comma-separated text lines)"
                                                  : " (fixed-length binary records)") +
                       ";\n" + "  - a firewall lets UDP in on port " + portText +
                       " (for example: sudo ufw allow " + portText + "/udp)";
    if (isLoopbackOnly(settings.bind))
        text += ";\n  - sensorstream listens on " + settings.bind +
                " only: a phone needs --bind 0.0.0.0";
    return text;
}

} // namespace

std::string hintText(WaitHint hint, const Settings& settings, std::uint16_t port) {
    if (hint == WaitHint::NoDatagram)
        return noDatagramText(settings, port);
    return std::string("datagrams arrive but none is a reading of the ") + appName(settings.app) +
           " app: does the app's format match --app " + appName(settings.app) + "?";
}

} // namespace sensorstream
