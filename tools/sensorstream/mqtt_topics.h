#pragma once

// The topics readings are published under: PREFIX/PHONE/MEASUREMENT, every level
// safe to type in a subscription ("sensorstream/left/rotation_rate").

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sensorstream {

// A name as one topic level: every character but letters, digits, '-' and '_'
// turned into '_' ("rotation rate" -> "rotation_rate"), so that no level holds a
// wildcard, a '/' or a space; "_" for an empty name. Topics keep the case.
std::string topicLevel(std::string_view name);

// Every topic of a run, made once: one per phone and measurement code.
class TopicTable {
public:
    TopicTable(const std::string& prefix, const std::vector<std::string>& phoneNames);

    // The topic of a reading of that phone and measurement ("other" for codes no
    // sensor has).
    const std::string& topic(std::size_t phone, std::int32_t measurement) const;
    std::size_t phoneCount() const { return phones; }

private:
    std::size_t phones;
    std::vector<std::string> topics; // phone-major, one row of measurements a phone
};

} // namespace sensorstream
