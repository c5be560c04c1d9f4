#include "mqtt_topics.h"

#include "sample_record.h"

namespace sensorstream {

namespace {

constexpr std::size_t CODES = MAX_MEASUREMENT + 1;

std::size_t codeIndex(std::int32_t measurement) {
    return measurement >= 0 && measurement <= MAX_MEASUREMENT
               ? static_cast<std::size_t>(measurement)
               : 0;
}

} // namespace

std::string topicLevel(std::string_view name) {
    std::string level;
    for (const char c : name) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_';
        level += kept ? c : '_';
    }
    return level.empty() ? "_" : level;
}

TopicTable::TopicTable(const std::string& prefix, const std::vector<std::string>& phoneNames)
    : phones(phoneNames.size()) {
    topics.reserve(phones * CODES);
    for (const auto& phone : phoneNames) {
        const std::string start = prefix + "/" + topicLevel(phone) + "/";
        for (std::size_t code = 0; code < CODES; ++code)
            topics.push_back(start + topicLevel(measurementName(static_cast<std::int32_t>(code))));
    }
}

const std::string& TopicTable::topic(std::size_t phone, std::int32_t measurement) const {
    return topics.at(phone * CODES + codeIndex(measurement));
}

} // namespace sensorstream
