#include "outgoing_batch.h"

#include <stdexcept>

namespace sensorstream {

void OutgoingBatch::add(std::size_t phone, std::int32_t measurement, std::string_view payload) {
    if (text.size() + payload.size() > UINT32_MAX || phone > UINT16_MAX)
        throw std::length_error("an outgoing batch holds at most 4 GiB of 65536 phones");
    OutgoingReading reading;
    reading.offset = static_cast<std::uint32_t>(text.size());
    reading.length = static_cast<std::uint32_t>(payload.size());
    reading.phone = static_cast<std::uint16_t>(phone);
    reading.measurement = measurement;
    text.append(payload);
    readings.push_back(reading);
}

void OutgoingBatch::clear() {
    text.clear();
    readings.clear();
}

void OutgoingBatch::truncate(std::size_t count) {
    if (count >= readings.size())
        return;
    text.resize(readings[count].offset);
    readings.resize(count);
}

} // namespace sensorstream
