#include "phone_feed.h"

#include "reading_message.h"
#include "tools/common/host_value.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace sensorview {

namespace {

using Clock = std::chrono::steady_clock;

// How long the pump waits for a first reading when it has none to publish.
constexpr auto IDLE_WAIT = std::chrono::milliseconds(200);

} // namespace

PhoneFeed::PhoneFeed(const sensorstream::PhoneSpec& phone, const std::string& bind)
    : spec(phone), queue(sensorstream::readingQueueLimits()), sensors(phone, 0, bind, queue) {}

PhoneFeed::~PhoneFeed() {
    try {
        close();
    } catch (...) {
        queue.close(); // the session terms the device all the same
    }
    if (thread.joinable())
        thread.join();
}

std::uint16_t PhoneFeed::open() {
    boundPort = sensors.open();
    return boundPort;
}

void PhoneFeed::start(Publish publish) {
    thread = std::thread([this, publish = std::move(publish)] { pump(publish); });
}

void PhoneFeed::close() {
    // The device first: no buffer comes after it; then the pump takes what is
    // queued and ends.
    sensors.close();
    queue.close();
    if (thread.joinable())
        thread.join();
}

void PhoneFeed::pump(const Publish& publish) {
    ReadingMessage message(spec.name);
    sensorstream::SampleReader reader;
    sensorstream::SampleRecord record;
    std::vector<sensorstream::PhoneBuffer> batch;
    auto& converter = sensors.sampleConverter();
    Clock::time_point due = Clock::now();
    bool open = true;
    while (open) {
        const auto wait =
            message.count() == 0
                ? IDLE_WAIT
                : std::max(std::chrono::milliseconds(0),
                           std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now()));
        open = queue.take(batch, wait);
        sensorstream::MeasurementCounts batchCounts{};
        for (auto& item : batch) {
            // One reading that cannot be converted must not end the view.
            try {
                kxtools::HostArray structure(converter.convertDataBuffer(item.buffer.get()));
                if (!reader.read(structure.get(), record)) {
                    notConvertedCount.fetch_add(1);
                    continue;
                }
                if (message.count() == 0)
                    due = Clock::now() + PUBLISH_PERIOD;
                message.add(record);
                ++batchCounts[sensorstream::counterOf(record.measurement)];
            } catch (const std::exception&) {
                notConvertedCount.fetch_add(1);
            }
        }
        // The buffers go back to their library here, on this thread.
        batch.clear();
        readingCounts.add(batchCounts);
        if (message.count() > 0 && (Clock::now() >= due || !open)) {
            OutMessage out;
            out.kind = MessageKind::Readings;
            out.readings = message.count();
            out.data = std::make_shared<const std::string>(message.take());
            publish(std::move(out));
        }
    }
}

} // namespace sensorview
