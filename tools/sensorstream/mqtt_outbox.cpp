#include "mqtt_outbox.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace sensorstream {

namespace {

// Emptied batches kept for reuse; more would only hold memory after a burst.
constexpr std::size_t SPARE_BATCHES = 4;

} // namespace

MqttOutbox::MqttOutbox(std::size_t queueCapacity, std::size_t phoneCount)
    : capacity(queueCapacity), phones(phoneCount) {
    if (queueCapacity == 0)
        throw std::invalid_argument("a broker queue needs room for at least one reading");
}

std::size_t MqttOutbox::post(OutgoingBatch& batch) {
    if (batch.empty())
        return 0;
    std::lock_guard<std::mutex> lock(mutex);
    const std::size_t room = capacity - queued;
    const std::size_t taken = std::min(room, batch.size());
    for (std::size_t i = taken; i < batch.size(); ++i) {
        const auto phone = batch[i].phone;
        if (phone < phones.size())
            ++phones[phone].overflowed;
    }
    batch.truncate(taken);
    if (taken == 0) {
        batch.clear();
        return 0;
    }
    queued += taken;
    batches.push_back(std::move(batch));
    if (spares.empty()) {
        batch = OutgoingBatch();
    } else {
        batch = std::move(spares.back());
        spares.pop_back();
    }
    return taken;
}

std::optional<MqttOutbox::Unsent> MqttOutbox::nextUnsent() {
    std::lock_guard<std::mutex> lock(mutex);
    while (sendBatch < batches.size() && sendIndex >= batches[sendBatch].size()) {
        ++sendBatch;
        sendIndex = 0;
    }
    if (sendBatch >= batches.size())
        return std::nullopt;
    const OutgoingBatch& batch = batches[sendBatch];
    const OutgoingReading& reading = batch[sendIndex];
    return Unsent{reading.phone, reading.measurement, batch.payload(reading)};
}

void MqttOutbox::sent(int messageId) {
    std::lock_guard<std::mutex> lock(mutex);
    sending.push_back({messageId, false, false});
    ++sendIndex;
}

void MqttOutbox::failed() {
    std::lock_guard<std::mutex> lock(mutex);
    sending.push_back({0, true, true});
    ++sendIndex;
    settleFront();
}

void MqttOutbox::confirmed(int messageId) {
    std::lock_guard<std::mutex> lock(mutex);
    // Confirmations come in the order of sending: the first that waits is the one.
    const auto it = std::find_if(sending.begin(), sending.end(), [&](const Sending& s) {
        return !s.done && s.messageId == messageId;
    });
    if (it == sending.end())
        return;
    it->done = true;
    settleFront();
}

void MqttOutbox::settleFront() {
    while (!sending.empty() && sending.front().done) {
        const bool wasFailed = sending.front().failed;
        sending.pop_front();
        const OutgoingReading& reading = batches.front()[front];
        if (reading.phone < phones.size()) {
            if (wasFailed)
                ++phones[reading.phone].failed;
            else
                ++phones[reading.phone].published;
        }
        if (!wasFailed)
            ++confirmedCount;
        --queued;
        ++front;
        dropFrontBatchIfDone();
    }
}

void MqttOutbox::dropFrontBatchIfDone() {
    if (front < batches.front().size())
        return;
    OutgoingBatch done = std::move(batches.front());
    batches.pop_front();
    front = 0;
    // The send position moves with the batches; at the end of the dropped batch it
    // is the start of the next.
    if (sendBatch > 0) {
        --sendBatch;
    } else {
        sendIndex = 0;
    }
    if (spares.size() < SPARE_BATCHES) {
        done.clear();
        spares.push_back(std::move(done));
    }
}

void MqttOutbox::sendAgain() {
    std::lock_guard<std::mutex> lock(mutex);
    sending.clear();
    sendBatch = 0;
    sendIndex = front;
}

std::size_t MqttOutbox::awaitingConfirmation() const {
    std::lock_guard<std::mutex> lock(mutex);
    return sending.size();
}

void MqttOutbox::abandon() {
    std::lock_guard<std::mutex> lock(mutex);
    // Readings confirmed out of order count as published; the others as unsent.
    std::size_t k = 0;
    for (std::size_t b = 0; b < batches.size(); ++b) {
        const OutgoingBatch& batch = batches[b];
        for (std::size_t i = b == 0 ? front : 0; i < batch.size(); ++i, ++k) {
            if (batch[i].phone >= phones.size())
                continue;
            PhonePublishing& phone = phones[batch[i].phone];
            if (k < sending.size() && sending[k].done) {
                ++(sending[k].failed ? phone.failed : phone.published);
                confirmedCount += sending[k].failed ? 0 : 1;
            } else {
                ++phone.unsent;
            }
        }
    }
    batches.clear();
    sending.clear();
    queued = 0;
    front = 0;
    sendBatch = 0;
    sendIndex = 0;
}

std::size_t MqttOutbox::waiting() const {
    std::lock_guard<std::mutex> lock(mutex);
    return queued;
}

std::vector<PhonePublishing> MqttOutbox::counts() const {
    std::lock_guard<std::mutex> lock(mutex);
    return phones;
}

std::uint64_t MqttOutbox::confirmedTotal() const {
    std::lock_guard<std::mutex> lock(mutex);
    return confirmedCount;
}

} // namespace sensorstream
