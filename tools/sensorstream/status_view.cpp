#include "status_view.h"

#include "phone_report.h"
#include "tools/arrivals/monotonic_clock.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace sensorstream {

StatusPlacement placeStatus(bool live, bool outputIsTerminal, bool errorIsTerminal) {
    StatusPlacement placement;
    placement.onOutput = live;
    placement.onTerminal = live ? outputIsTerminal : errorIsTerminal;
    placement.shown = live || errorIsTerminal;
    return placement;
}

std::string statusLine(double seconds, const MeasurementCounts& counts,
                       const MeasurementRates& rates, std::uint16_t port) {
    std::string text = statusText(seconds, counts, rates);
    if (totalOf(counts) == 0)
        text += ", waiting for the phone on UDP port " + std::to_string(port);
    return text;
}

StatusView::StatusView(Console& sharedConsole, const ReadingCounts& readingCounts,
                       Clock::time_point listening, StatusSettings status)
    : console(sharedConsole), counts(readingCounts), start(listening), settings(std::move(status)),
      meters(std::max<std::size_t>(settings.phones.size(), 1)), nextDrawing(listening) {
    if (settings.phones.empty())
        settings.phones.push_back(StatusPhone{});
}

void StatusView::update(Clock::time_point now) {
    if (!settings.shown || now < nextDrawing)
        return;
    draw(now);
    nextDrawing = now + PERIOD;
}

void StatusView::finish(Clock::time_point end) {
    if (settings.live != nullptr) {
        draw(end);
        console.releaseBlock();
    } else if (settings.shown) {
        console.eraseBlock();
    }
}

void StatusView::draw(Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - start).count();
    const auto perPhone = counts.perPhone();
    std::vector<PhoneState> phones;
    for (std::size_t i = 0; i < settings.phones.size(); ++i) {
        PhoneState phone;
        phone.name = settings.phones[i].name;
        phone.port = settings.phones[i].port;
        if (i < perPhone.size())
            phone.counts = perPhone[i];
        meters[i].sample(now, phone.counts);
        phone.rates = meters[i].rates();
        phones.push_back(std::move(phone));
    }
    std::optional<PublisherStatus> broker;
    if (settings.publisher != nullptr)
        broker = settings.publisher->status();
    auto status = statusLines(seconds, phones, broker ? &*broker : nullptr);
    const double monotonicNow = arrivals::monotonicSeconds(now);
    if (settings.health != nullptr && !status.empty())
        status.front() += ", " + settings.health->statusText(monotonicNow);
    // Each phone's streams for the live table, silences counted up to now.
    const auto healthOf = [&](std::size_t phone) {
        return settings.health != nullptr ? settings.health->phoneHealth(phone, monotonicNow)
                                          : MeasurementHealth{};
    };
    if (settings.live == nullptr) {
        console.showBlock(status, settings.width);
    } else if (phones.size() == 1) {
        console.showBlock(settings.live->lines(settings.liveTitle, phones.front().rates,
                                               status.front(), healthOf(0)),
                          settings.width);
    } else {
        std::vector<LiveTable::Section> sections;
        for (std::size_t i = 0; i < phones.size(); ++i)
            sections.push_back({settings.phones[i].sectionTitle, phones[i].rates, healthOf(i)});
        console.showBlock(settings.live->lines(settings.liveTitle, sections, status),
                          settings.width);
    }
}

} // namespace sensorstream
