#include "health_report.h"

#include "tools/common/json_text.h"

#include <cstdio>

namespace arrivals {

namespace {

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string quoted(const std::string& text) {
    std::string out;
    kxtools::appendJsonString(text, out);
    return out;
}

std::string streamJson(const StreamReport& stream) {
    const SeriesHealth& h = stream.health;
    std::string json = "{\"measurement\": " + quoted(stream.measurement) +
                       ", \"readings\": " + std::to_string(h.readings) +
                       ", \"first\": " + fixed(h.first, 6) + ", \"last\": " + fixed(h.last, 6) +
                       ", \"achievedRate\": " + fixed(h.achievedRate, 3) +
                       ", \"usualInterval\": " + fixed(h.usualInterval, 6) +
                       ", \"gaps\": " + std::to_string(h.gaps) +
                       ", \"gapSeconds\": " + fixed(h.gapSeconds, 6) + ", \"longestGap\": ";
    if (h.longestGap)
        json += "{\"start\": " + fixed(h.longestGap->start, 6) +
                ", \"seconds\": " + fixed(h.longestGap->seconds, 6) +
                ", \"usualInterval\": " + fixed(h.longestGap->usualSeconds, 6) + "}";
    else
        json += "null";
    return json + "}";
}

} // namespace

HealthBoard::HealthBoard(GapRule gapRule) : rule(gapRule) {
    SeriesTracker check(rule); // a rule the trackers refuse is refused here, at once
}

HealthBoard::Phone& HealthBoard::phoneNamed(const std::string& name) {
    for (Phone& phone : phones) {
        if (phone.name == name)
            return phone;
    }
    phones.push_back({name, std::nullopt, {}});
    return phones.back();
}

void HealthBoard::arrived(const std::string& phone, const std::string& measurement, double time) {
    auto& streams = phoneNamed(phone).streams;
    for (auto& [name, tracker] : streams) {
        if (name == measurement) {
            tracker.arrived(time);
            return;
        }
    }
    streams.emplace_back(measurement, SeriesTracker(rule));
    streams.back().second.arrived(time);
}

void HealthBoard::account(const std::string& phone, const DatagramAccounting& datagrams) {
    phoneNamed(phone).datagrams = datagrams;
}

std::vector<PhoneReport> HealthBoard::report(std::optional<double> now) const {
    std::vector<PhoneReport> reports;
    for (const Phone& phone : phones) {
        PhoneReport report{phone.name, phone.datagrams, {}};
        for (const auto& [measurement, tracker] : phone.streams)
            report.streams.push_back({measurement, tracker.health(now)});
        reports.push_back(std::move(report));
    }
    return reports;
}

std::string healthText(const SeriesHealth& health) {
    std::string text = fixed(health.achievedRate, 1) + "/s, ";
    if (health.gaps == 0)
        text += "no gaps";
    else
        text += std::to_string(health.gaps) + (health.gaps == 1 ? " gap" : " gaps") + " (longest " +
                fixed(health.longestGap->seconds, 2) + " s)";
    if (health.silentFor)
        text += ", silent " + fixed(*health.silentFor, 1) + " s";
    return text;
}

std::string healthJson(const std::vector<PhoneReport>& phones, const GapRule& rule) {
    std::string json = "{\n  \"clock\": \"monotonic seconds (CLOCK_MONOTONIC), at arrival\",\n"
                       "  \"gapRule\": {\"window\": " +
                       std::to_string(rule.window) + ", \"factor\": " + fixed(rule.factor, 3) +
                       ", \"minimumSeconds\": " + fixed(rule.minimumSeconds, 6) +
                       "},\n  \"phones\": [";
    for (std::size_t p = 0; p < phones.size(); ++p) {
        const PhoneReport& phone = phones[p];
        json += std::string(p == 0 ? "" : ",") + "\n    {\"phone\": " + quoted(phone.phone);
        if (phone.datagrams) {
            const DatagramAccounting& d = *phone.datagrams;
            json += ",\n     \"datagrams\": {\"delivered\": " + std::to_string(d.delivered) +
                    ", \"fromOtherSenders\": " + std::to_string(d.fromOtherSenders) +
                    ", \"malformed\": " + std::to_string(d.malformed) +
                    ", \"droppedBySystem\": " + std::to_string(d.droppedBySystem) + "}";
        }
        json += ",\n     \"measurements\": [";
        for (std::size_t s = 0; s < phone.streams.size(); ++s)
            json += std::string(s == 0 ? "" : ",") + "\n       " + streamJson(phone.streams[s]);
        json += phone.streams.empty() ? "]}" : "\n     ]}";
    }
    json += phones.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return json;
}

} // namespace arrivals
