#include "reading_stats.h"

#include <algorithm>
#include <cstdio>

namespace sensorstream {

std::size_t counterOf(std::int32_t measurement) {
    return measurement >= 0 && measurement <= MAX_MEASUREMENT
               ? static_cast<std::size_t>(measurement)
               : 0;
}

ReadingCounts::ReadingCounts(std::size_t phoneCount)
    : counts(std::max<std::size_t>(phoneCount, 1), MeasurementCounts{}) {}

void ReadingCounts::add(std::int32_t measurement) {
    std::lock_guard<std::mutex> lock(mutex);
    ++counts.front()[counterOf(measurement)];
}

void ReadingCounts::add(const MeasurementCounts& batch) {
    std::lock_guard<std::mutex> lock(mutex);
    for (std::size_t i = 0; i < batch.size(); ++i)
        counts.front()[i] += batch[i];
}

void ReadingCounts::add(const std::vector<MeasurementCounts>& batch) {
    std::lock_guard<std::mutex> lock(mutex);
    for (std::size_t phone = 0; phone < batch.size() && phone < counts.size(); ++phone) {
        for (std::size_t i = 0; i < batch[phone].size(); ++i)
            counts[phone][i] += batch[phone][i];
    }
}

MeasurementCounts ReadingCounts::snapshot() const {
    std::lock_guard<std::mutex> lock(mutex);
    MeasurementCounts total{};
    for (const auto& phone : counts) {
        for (std::size_t i = 0; i < total.size(); ++i)
            total[i] += phone[i];
    }
    return total;
}

std::vector<MeasurementCounts> ReadingCounts::perPhone() const {
    std::lock_guard<std::mutex> lock(mutex);
    return counts;
}

std::uint64_t totalOf(const MeasurementCounts& counts) {
    std::uint64_t total = 0;
    for (const auto count : counts)
        total += count;
    return total;
}

RateMeter::RateMeter(std::chrono::milliseconds window) : span(window) {}

void RateMeter::sample(Clock::time_point now, const MeasurementCounts& counts) {
    samples.push_back({now, counts});
    // Keep one sample at or before the start of the window, to measure from.
    while (samples.size() > 2 && now - samples[1].time >= span)
        samples.pop_front();
}

MeasurementRates RateMeter::rates() const {
    MeasurementRates result{};
    if (samples.size() < 2)
        return result;
    const Sample& first = samples.front();
    const Sample& last = samples.back();
    const double seconds = std::chrono::duration<double>(last.time - first.time).count();
    if (seconds <= 0.0)
        return result;
    for (std::size_t i = 0; i < result.size(); ++i)
        result[i] = static_cast<double>(last.counts[i] - first.counts[i]) / seconds;
    return result;
}

namespace {

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

} // namespace

std::string statusText(double seconds, const MeasurementCounts& counts,
                       const MeasurementRates& rates) {
    std::string text = fixed(seconds, 1) + " s  " + std::to_string(totalOf(counts)) + " readings";
    for (const std::int32_t m : MEASUREMENT_DISPLAY_ORDER) {
        const auto i = static_cast<std::size_t>(m);
        if (counts[i] != 0)
            text += "  " + measurementShortName(m) + " " + fixed(rates[i], 1) + "/s";
    }
    return text;
}

std::uint64_t lostOf(const Accounting& a) {
    const std::uint64_t accounted = a.output + a.afterCount + a.notConverted;
    return a.written > accounted ? a.written - accounted : 0;
}

std::string readingsText(double seconds, const MeasurementCounts& counts) {
    const std::uint64_t total = totalOf(counts);
    std::string text = std::to_string(total) + " readings in " + fixed(seconds, 1) + " s (" +
                       fixed(seconds > 0.0 ? static_cast<double>(total) / seconds : 0.0, 1) +
                       " a second)";
    std::string parts;
    for (const std::int32_t m : MEASUREMENT_DISPLAY_ORDER) {
        const auto i = static_cast<std::size_t>(m);
        if (counts[i] != 0)
            parts +=
                (parts.empty() ? "" : ", ") + measurementName(m) + " " + std::to_string(counts[i]);
    }
    if (!parts.empty())
        text += ": " + parts;
    return text;
}

std::string accountingText(const Accounting& a) {
    std::string text = "buffers written by the device " + std::to_string(a.written) +
                       ", readings output " + std::to_string(a.output);
    if (a.afterCount != 0)
        text += ", " + std::to_string(a.afterCount) + " more after --count was reached";
    if (a.notConverted != 0)
        text += ", " + std::to_string(a.notConverted) + " the converter made nothing of";
    const std::uint64_t lost = lostOf(a);
    text += lost == 0 && a.refused == 0
                ? ": none lost"
                : ": " + std::to_string(lost) + " lost (" + std::to_string(a.refused) +
                      " refused by the channel)";
    return text;
}

std::string summaryText(double seconds, const MeasurementCounts& counts, const Accounting& a) {
    return readingsText(seconds, counts) + "\n" + accountingText(a) + "\n";
}

} // namespace sensorstream
