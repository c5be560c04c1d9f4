#include "phone_report.h"

#include "status_view.h"

#include <algorithm>
#include <cstdio>

namespace sensorstream {

namespace {

const char* stateText(BrokerState state) {
    switch (state) {
    case BrokerState::Connected:
        return "connected";
    case BrokerState::Connecting:
        return "connecting";
    case BrokerState::Waiting:
        return "down";
    case BrokerState::Refused:
        return "refused";
    }
    return "?";
}

std::uint64_t overflowOf(const PublisherStatus& broker, std::size_t phone) {
    return phone < broker.phones.size() ? broker.phones[phone].overflowed : 0;
}

std::string rateText(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f/s", rate);
    return text;
}

std::string phoneLine(const PhoneState& phone, std::size_t nameWidth) {
    std::string line = "  " + phone.name + std::string(nameWidth - phone.name.size(), ' ');
    const std::uint64_t total = totalOf(phone.counts);
    if (total == 0)
        return line + "  waiting for the phone on UDP port " + std::to_string(phone.port);
    line += "  " + std::to_string(total) + " readings";
    for (const std::int32_t m : MEASUREMENT_DISPLAY_ORDER) {
        const auto i = static_cast<std::size_t>(m);
        if (phone.counts[i] != 0)
            line += "  " + measurementShortName(m) + " " + rateText(phone.rates[i]);
    }
    return line;
}

} // namespace

std::string brokerStatusText(const PublisherStatus& broker) {
    std::string text = "mqtt to " + broker.address + ": " + stateText(broker.state);
    if (!broker.problem.empty() && broker.state != BrokerState::Connected)
        text += " (" + broker.problem + ")";
    text += ", " + std::to_string(broker.waiting) + " waiting";
    std::uint64_t overflowed = 0;
    for (const auto& phone : broker.phones)
        overflowed += phone.overflowed;
    if (overflowed != 0)
        text += ", " + std::to_string(overflowed) + " overflowed";
    return text;
}

std::vector<std::string> statusLines(double seconds, const std::vector<PhoneState>& phones,
                                     const PublisherStatus* broker) {
    const std::string brokerPart = broker != nullptr ? "  " + brokerStatusText(*broker) : "";
    if (phones.size() == 1) {
        const auto& phone = phones.front();
        return {statusLine(seconds, phone.counts, phone.rates, phone.port) + brokerPart};
    }
    MeasurementCounts all{};
    std::size_t nameWidth = 0;
    for (const auto& phone : phones) {
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] += phone.counts[i];
        nameWidth = std::max(nameWidth, phone.name.size());
    }
    char start[64];
    std::snprintf(start, sizeof start, "%.1f s  ", seconds);
    std::vector<std::string> lines{start + std::to_string(totalOf(all)) + " readings from " +
                                   std::to_string(phones.size()) + " phones" + brokerPart};
    for (std::size_t i = 0; i < phones.size(); ++i) {
        std::string line = phoneLine(phones[i], nameWidth);
        if (broker != nullptr && overflowOf(*broker, i) != 0)
            line += "  " + std::to_string(overflowOf(*broker, i)) + " overflowed";
        lines.push_back(line);
    }
    return lines;
}

std::string brokerAccountingText(const PublisherStatus& broker, const std::string& phoneName,
                                 std::size_t phone, std::uint64_t output) {
    const PhonePublishing counts =
        phone < broker.phones.size() ? broker.phones[phone] : PhonePublishing{};
    std::string text = "mqtt to " + broker.address + ": ";
    if (!phoneName.empty())
        text += phoneName + ": ";
    text += "readings output " + std::to_string(output) + ", published " +
            std::to_string(counts.published);
    if (counts.overflowed != 0)
        text += ", " + std::to_string(counts.overflowed) + " overflowed the queue";
    if (counts.failed != 0)
        text += ", " + std::to_string(counts.failed) + " refused by the client library";
    if (counts.unsent != 0)
        text += ", " + std::to_string(counts.unsent) + " unsent at the end";
    const std::uint64_t notPublished = output > counts.published ? output - counts.published : 0;
    text += notPublished == 0 ? ": all published"
                              : ": " + std::to_string(notPublished) + " not published";
    return text;
}

std::string runSummary(double seconds, const std::vector<PhoneOutcome>& phones,
                       const PublisherStatus* broker) {
    std::string text;
    if (phones.size() == 1) {
        text = summaryText(seconds, phones.front().counts, phones.front().accounting);
    } else {
        MeasurementCounts all{};
        for (const auto& phone : phones) {
            for (std::size_t i = 0; i < all.size(); ++i)
                all[i] += phone.counts[i];
        }
        text = std::to_string(phones.size()) + " phones: " + readingsText(seconds, all) + "\n";
        for (const auto& phone : phones) {
            text += phone.name + ": " + readingsText(seconds, phone.counts) + "\n";
            text += phone.name + ": " + accountingText(phone.accounting) + "\n";
        }
    }
    if (broker != nullptr) {
        for (std::size_t i = 0; i < phones.size(); ++i)
            text += brokerAccountingText(*broker, phones.size() == 1 ? "" : phones[i].name, i,
                                         phones[i].accounting.output) +
                    "\n";
    }
    return text;
}

} // namespace sensorstream
