#include "status_view.h"

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
      nextDrawing(listening) {}

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
    const auto snapshot = counts.snapshot();
    meter.sample(now, snapshot);
    const std::string status = statusLine(seconds, snapshot, meter.rates(), settings.port);
    if (settings.live != nullptr)
        console.showBlock(settings.live->lines(settings.liveTitle, meter.rates(), status),
                          settings.width);
    else
        console.showBlock({status}, settings.width);
}

} // namespace sensorstream
