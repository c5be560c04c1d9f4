#include "outbox.h"

#include <stdexcept>

namespace sensorview {

Outbox::Outbox(std::size_t capacity) : room(capacity) {
    if (capacity == 0)
        throw std::invalid_argument("an outbox needs room for at least one message");
}

bool Outbox::replaceWaiting(const OutMessage& message) {
    for (auto& queued : waiting) {
        if (queued.kind == message.kind) {
            queued.data = message.data;
            return true;
        }
    }
    return false;
}

bool Outbox::dropOldestReadings() {
    for (auto at = waiting.begin(); at != waiting.end(); ++at) {
        if (at->kind == MessageKind::Readings) {
            missed.readings += at->readings;
            waiting.erase(at);
            return true;
        }
    }
    return false;
}

void Outbox::push(OutMessage message) {
    switch (message.kind) {
    case MessageKind::Hello:
        waiting.push_back(std::move(message));
        return;
    case MessageKind::Frame:
        if (replaceWaiting(message)) {
            ++missed.frames;
            return;
        }
        if (waiting.size() >= room) {
            ++missed.frames;
            return;
        }
        break;
    case MessageKind::Status:
        // The newer status tells all the older one did.
        if (replaceWaiting(message) || waiting.size() >= room)
            return;
        break;
    case MessageKind::Readings:
        if (waiting.size() >= room && !dropOldestReadings()) {
            missed.readings += message.readings;
            return;
        }
        break;
    }
    waiting.push_back(std::move(message));
}

std::optional<OutMessage> Outbox::next() {
    if (missed.readings != told.readings || missed.frames != told.frames) {
        told = missed;
        OutMessage notice;
        notice.kind = MessageKind::Status;
        notice.data = std::make_shared<const std::string>(missesJson(missed));
        return notice;
    }
    if (waiting.empty())
        return std::nullopt;
    OutMessage message = std::move(waiting.front());
    waiting.pop_front();
    return message;
}

std::string missesJson(const Misses& misses) {
    return R"({"type":"missed","readings":)" + std::to_string(misses.readings) + R"(,"frames":)" +
           std::to_string(misses.frames) + "}";
}

} // namespace sensorview
