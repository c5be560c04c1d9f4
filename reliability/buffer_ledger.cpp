#include "buffer_ledger.h"

#include "sensor_apps.h"

namespace reliability {

BufferLedger::BufferLedger(korvex::host::Channel& channel, bool keepSamples)
    : channel_(channel), keepSamples_(keepSamples) {
    channel_.setBufferHandler(
        [this](korvex::host::BufferPtr buffer) { return take(std::move(buffer)); });
}

BufferLedger::~BufferLedger() {
    release();
    channel_.setBufferHandler(nullptr);
}

void BufferLedger::setClosed(bool closed) {
    const std::lock_guard<std::mutex> lock(mutex_);
    closed_ = closed;
}

void BufferLedger::hold() {
    const std::lock_guard<std::mutex> lock(mutex_);
    held_ = true;
}

void BufferLedger::release() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        held_ = false;
    }
    released_.notify_all();
}

BufferLedger::Totals BufferLedger::totals() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return totals_;
}

std::vector<mobilesensor::testing::Sample> BufferLedger::samples() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return samples_;
}

bool BufferLedger::take(korvex::host::BufferPtr buffer) {
    const std::optional<Tag> tag = tagOf(*buffer);
    std::unique_lock<std::mutex> lock(mutex_);
    released_.wait(lock, [this] { return !held_; });
    ++totals_.buffers;
    if (closed_)
        ++totals_.afterClose;
    if (keepSamples_)
        samples_.push_back(mobilesensor::testing::describe(*buffer));
    if (!tag) {
        ++totals_.untagged;
    } else if (tag->sender != 1) {
        ++totals_.foreignSender;
    } else {
        if (anySequence_ && tag->sequence <= totals_.lastSequence)
            ++totals_.outOfOrder;
        anySequence_ = true;
        totals_.lastSequence = tag->sequence;
    }
    return true; // buffer is released as it goes out of scope
}

} // namespace reliability
