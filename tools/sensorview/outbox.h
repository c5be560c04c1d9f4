#pragma once

// What waits to be written to one browser. Its room is bounded, so a slow or
// stalled browser costs a fixed amount of memory and never holds up acquisition:
// a frame replaces the frame still waiting, a status the status still waiting,
// and readings that find no room push out the oldest readings waiting, so that a
// browser that catches up shows the latest. Whatever is dropped is counted, and
// the next message written is a notice of the new misses, so the page can say
// what it lost. One session's strand only; no lock.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace sensorview {

enum class MessageKind {
    Hello,    // what the server shows; never dropped
    Readings, // one phone's readings
    Status,   // rates and counts; a newer one supersedes it
    Frame,    // a JPEG picture, written as a binary message
};

struct OutMessage {
    MessageKind kind = MessageKind::Status;
    std::shared_ptr<const std::string> data; // shared by every browser
    std::size_t readings = 0;                // in a Readings message

    bool binary() const { return kind == MessageKind::Frame; }
};

struct Misses {
    std::uint64_t readings = 0;
    std::uint64_t frames = 0;
};

class Outbox {
public:
    explicit Outbox(std::size_t capacity);

    void push(OutMessage message);
    // The next message to write: a notice of misses not yet told, else the oldest
    // waiting one; nothing when the outbox is empty.
    std::optional<OutMessage> next();

    const Misses& misses() const { return missed; }
    std::size_t size() const { return waiting.size(); }

private:
    bool replaceWaiting(const OutMessage& message);
    bool dropOldestReadings();

    std::size_t room;
    std::deque<OutMessage> waiting;
    Misses missed;
    Misses told;
};

// {"type":"missed","readings":12,"frames":3}
std::string missesJson(const Misses& misses);

} // namespace sensorview
