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

sensorstream::Settings sessionSettings(const sensorstream::PhoneSpec& phone,
                                       const std::string& bind) {
    sensorstream::Settings settings;
    settings.app = phone.app;
    settings.port = phone.port;
    settings.bind = bind;
    return settings;
}

} // namespace

PhoneFeed::PhoneFeed(const sensorstream::PhoneSpec& phone, const std::string& bind)
    : spec(phone), sensors(sessionSettings(phone, bind), sensorstream::readingQueueLimits()) {}

PhoneFeed::~PhoneFeed() {
    try {
        close();
    } catch (...) {
        sensors.readings().close(); // the session terms the device all the same
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
    sensors.close();
    if (thread.joinable())
        thread.join();
}

void PhoneFeed::pump(const Publish& publish) {
    ReadingMessage message(spec.name);
    sensorstream::SampleReader reader;
    sensorstream::SampleRecord record;
    std::vector<korvex::host::BufferPtr> batch;
    auto& converter = sensors.sampleConverter();
    Clock::time_point due = Clock::now();
    bool open = true;
    while (open) {
        const auto wait =
            message.count() == 0
                ? IDLE_WAIT
                : std::max(std::chrono::milliseconds(0),
                           std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now()));
        open = sensors.readings().take(batch, wait);
        sensorstream::MeasurementCounts batchCounts{};
        for (auto& buffer : batch) {
            // One reading that cannot be converted must not end the view.
            try {
                kxtools::HostArray structure(converter.convertDataBuffer(buffer.get()));
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
