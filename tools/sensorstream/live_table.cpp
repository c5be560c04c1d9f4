#include "live_table.h"

#include "record_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string_view>

namespace sensorstream {

namespace {

const char* const LEVELS[] = {"\u2581", "\u2582", "\u2583", "\u2584",
                              "\u2585", "\u2586", "\u2587", "\u2588"};
constexpr int LEVEL_COUNT = 8;

std::string padded(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string rightAligned(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

constexpr std::size_t MEASUREMENT_COLUMN = 20;
constexpr std::size_t RATE_COLUMN = 9;
constexpr std::size_t ACHIEVED_COLUMN = 10;
constexpr std::size_t GAPS_COLUMN = 34; // "12, longest 12.50 s, silent 10.4 s"
constexpr std::size_t FIELD_COLUMN = 19;
constexpr std::size_t VALUE_COLUMN = 14;

} // namespace

std::string sparkline(const std::deque<double>& values) {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    for (const double v : values) {
        if (std::isfinite(v)) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
    std::string line;
    for (const double v : values) {
        if (!std::isfinite(v)) {
            line += ' ';
            continue;
        }
        int level = LEVEL_COUNT / 2 - 1;
        if (high > low) {
            const double scaled = (v - low) / (high - low) * (LEVEL_COUNT - 1);
            level = std::clamp(static_cast<int>(std::lround(scaled)), 0, LEVEL_COUNT - 1);
        }
        line += LEVELS[level];
    }
    return line;
}

std::string gapsText(const arrivals::SeriesHealth& health) {
    char text[96];
    if (health.gaps == 0 || !health.longestGap)
        std::snprintf(text, sizeof text, "none");
    else
        std::snprintf(text, sizeof text, "%llu, longest %.2f s",
                      static_cast<unsigned long long>(health.gaps), health.longestGap->seconds);
    std::string gaps = text;
    if (health.silentFor) {
        std::snprintf(text, sizeof text, ", silent %.1f s", *health.silentFor);
        gaps += text;
    }
    return gaps;
}

LiveTable::LiveTable(std::size_t length) : historyLength(length == 0 ? 1 : length) {}

void LiveTable::add(std::size_t phone, const SampleRecord& record) {
    std::lock_guard<std::mutex> lock(mutex);
    if (phone >= phones.size())
        phones.resize(phone + 1);
    MeasurementRow& row = phones[phone][record.measurement];
    row.time = timeOfDayText(record.timestamp);
    for (std::size_t field = 0; field < FIELD_COUNT; ++field) {
        if (!record.isSet(field) || field == TIMESTAMP_FIELD || field == MEASUREMENT_FIELD)
            continue;
        const std::string_view name = SAMPLE_FIELD_NAMES[field];
        auto history = std::find_if(row.fields.begin(), row.fields.end(),
                                    [&](const FieldHistory& h) { return h.name == name; });
        if (history == row.fields.end()) {
            row.fields.push_back({std::string(name), 0.0, {}});
            history = row.fields.end() - 1;
        }
        history->latest = record.values[field];
        history->recent.push_back(history->latest);
        if (history->recent.size() > historyLength)
            history->recent.pop_front();
    }
}

namespace {

std::string columnNames() {
    return padded("measurement", MEASUREMENT_COLUMN) + rightAligned("rate", RATE_COLUMN) +
           rightAligned("achieved", ACHIEVED_COLUMN) + "  " + padded("gaps", GAPS_COLUMN) + "  " +
           padded("field", FIELD_COLUMN) + rightAligned("latest", VALUE_COLUMN) + "  recent";
}

} // namespace

std::vector<std::string> LiveTable::lines(const std::string& title, const MeasurementRates& rates,
                                          const std::string& status,
                                          const MeasurementHealth& health) const {
    std::vector<std::string> out{title, columnNames()};
    std::lock_guard<std::mutex> lock(mutex);
    appendRows(phones.empty() ? PhoneRows() : phones.front(), rates, health, out);
    out.push_back(status);
    return out;
}

std::vector<std::string> LiveTable::lines(const std::string& title,
                                          const std::vector<Section>& sections,
                                          const std::vector<std::string>& status) const {
    std::vector<std::string> out{title, columnNames()};
    std::lock_guard<std::mutex> lock(mutex);
    for (std::size_t phone = 0; phone < sections.size(); ++phone) {
        out.push_back(sections[phone].title);
        appendRows(phone < phones.size() ? phones[phone] : PhoneRows(), sections[phone].rates,
                   sections[phone].health, out);
    }
    out.insert(out.end(), status.begin(), status.end());
    return out;
}

void LiveTable::appendRows(const PhoneRows& rows, const MeasurementRates& rates,
                           const MeasurementHealth& health, std::vector<std::string>& out) const {
    if (rows.empty())
        out.push_back("(no reading yet)");
    // Known measurements in display order, then any other code.
    std::vector<std::int32_t> order(MEASUREMENT_DISPLAY_ORDER.begin(),
                                    MEASUREMENT_DISPLAY_ORDER.end());
    for (const auto& entry : rows) {
        if (std::find(order.begin(), order.end(), entry.first) == order.end())
            order.push_back(entry.first);
    }
    for (const std::int32_t measurement : order) {
        const auto found = rows.find(measurement);
        if (found == rows.end())
            continue;
        const MeasurementRow& row = found->second;
        const bool known = measurement >= 0 && measurement <= MAX_MEASUREMENT;
        const double rate = known ? rates[static_cast<std::size_t>(measurement)] : 0.0;
        char rateText[32];
        std::snprintf(rateText, sizeof rateText, "%.1f/s", rate);
        // The stream's health, when the caller has it.
        std::string achieved;
        std::string gaps;
        std::optional<arrivals::SeriesHealth> stream;
        if (known)
            stream = health[static_cast<std::size_t>(measurement)];
        if (stream) {
            char achievedText[32];
            std::snprintf(achievedText, sizeof achievedText, "%.1f/s", stream->achievedRate);
            achieved = achievedText;
            gaps = gapsText(*stream);
        }
        const std::string first = padded(measurementName(measurement), MEASUREMENT_COLUMN) +
                                  rightAligned(rateText, RATE_COLUMN) +
                                  rightAligned(achieved, ACHIEVED_COLUMN) + "  " +
                                  padded(gaps, GAPS_COLUMN);
        const std::string blank(first.size(), ' ');
        if (row.fields.empty())
            out.push_back(first + "  " + padded("(no fields)", FIELD_COLUMN) + "  at " + row.time);
        for (std::size_t i = 0; i < row.fields.size(); ++i) {
            const FieldHistory& field = row.fields[i];
            out.push_back((i == 0 ? first : blank) + "  " + padded(field.name, FIELD_COLUMN) +
                          rightAligned(readableNumber(field.latest), VALUE_COLUMN) + "  " +
                          sparkline(field.recent));
        }
    }
}

} // namespace sensorstream
