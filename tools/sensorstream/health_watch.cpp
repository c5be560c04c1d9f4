#include "health_watch.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>

namespace sensorstream {

HealthWatch::HealthWatch(std::vector<std::string> phoneNames, arrivals::GapRule rule)
    : gapRule(rule), names(std::move(phoneNames)), trackers(names.size()), firsts(names.size()) {
    arrivals::SeriesTracker check(rule); // a rule the trackers refuse is refused here, at once
}

void HealthWatch::arrived(std::size_t phone, std::int32_t measurement, double time) {
    if (phone >= names.size())
        return;
    if (measurement < 0 || measurement > MAX_MEASUREMENT)
        measurement = 0;
    const std::lock_guard<std::mutex> lock(mutex);
    auto& tracker = trackers[phone][static_cast<std::size_t>(measurement)];
    if (!tracker) {
        tracker.emplace(gapRule);
        firsts[phone].push_back(measurement);
    }
    tracker->arrived(time);
}

void HealthWatch::watchPorts(const std::vector<std::uint16_t>& ports) {
    const std::lock_guard<std::mutex> lock(mutex);
    portsAtStart.clear();
    for (std::size_t phone = 0; phone < names.size() && phone < ports.size(); ++phone)
        portsAtStart.push_back(mobilesensor::datagramAccountingForPort(ports[phone]));
}

std::vector<arrivals::PhoneReport> HealthWatch::report(std::optional<double> now) const {
    std::vector<arrivals::PhoneReport> reports;
    const std::lock_guard<std::mutex> lock(mutex);
    for (std::size_t phone = 0; phone < names.size(); ++phone) {
        arrivals::PhoneReport report{names[phone], std::nullopt, {}};
        if (phone < portsAtStart.size()) {
            // The port's totals only grow: what this run's device saw is the difference.
            const auto& atStart = portsAtStart[phone];
            const auto added = mobilesensor::datagramAccountingForPort(atStart.port) - atStart;
            report.datagrams = arrivals::DatagramAccounting{added.delivered, added.fromOtherSenders,
                                                            added.malformed, added.droppedBySystem};
        }
        for (const std::int32_t code : firsts[phone])
            report.streams.push_back(
                {measurementName(code),
                 trackers[phone][static_cast<std::size_t>(code)]->health(now)});
        reports.push_back(std::move(report));
    }
    return reports;
}

MeasurementHealth HealthWatch::phoneHealth(std::size_t phone, double now) const {
    MeasurementHealth health;
    if (phone >= names.size())
        return health;
    const std::lock_guard<std::mutex> lock(mutex);
    for (std::size_t code = 0; code < health.size(); ++code) {
        if (const auto& tracker = trackers[phone][code])
            health[code] = tracker->health(now);
    }
    return health;
}

std::vector<std::string> HealthWatch::summaryLines() const {
    std::vector<std::string> lines;
    for (const auto& phone : report()) {
        if (!phone.streams.empty()) {
            std::string line = phone.phone + ": ";
            for (std::size_t i = 0; i < phone.streams.size(); ++i)
                line += (i == 0 ? "" : "; ") + phone.streams[i].measurement + " " +
                        arrivals::healthText(phone.streams[i].health);
            lines.push_back(line);
        }
        if (phone.datagrams) {
            const auto& d = *phone.datagrams;
            lines.push_back(phone.phone + ": datagrams " + std::to_string(d.delivered) +
                            " delivered, " + std::to_string(d.fromOtherSenders) +
                            " from another sender, " + std::to_string(d.malformed) +
                            " malformed, " + std::to_string(d.droppedBySystem) +
                            " dropped by the system");
        }
    }
    return lines;
}

std::string HealthWatch::statusText(double now) const {
    std::uint64_t gaps = 0;
    double longest = 0.0;
    std::string silent;
    const auto phones = report(now);
    for (const auto& phone : phones) {
        for (const auto& stream : phone.streams) {
            gaps += stream.health.gaps;
            if (stream.health.longestGap && stream.health.longestGap->seconds > longest)
                longest = stream.health.longestGap->seconds;
            if (stream.health.silentFor) {
                char text[96];
                std::snprintf(text, sizeof text, "%s%s silent %.1f s",
                              phones.size() > 1 ? (phone.phone + " ").c_str() : "",
                              stream.measurement.c_str(), *stream.health.silentFor);
                silent += std::string("; ") + text;
            }
        }
    }
    char head[64];
    if (gaps == 0)
        std::snprintf(head, sizeof head, "no gaps");
    else
        std::snprintf(head, sizeof head, "gaps %llu (longest %.2f s)",
                      static_cast<unsigned long long>(gaps), longest);
    return head + silent;
}

void HealthWatch::writeReport(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << arrivals::healthJson(report(), gapRule);
    out.flush();
    if (!out)
        throw std::runtime_error("cannot write the health report '" + path + "'");
}

} // namespace sensorstream
