#include "datagram_recorder.h"

#include <algorithm>

namespace arrivals {

DatagramRecorder::DatagramRecorder(std::ostream& out, phonesim::App app, double origin)
    : writer(out, app, origin), originSeconds(origin) {}

void DatagramRecorder::record(double arrival, const std::uint8_t* bytes, std::size_t size) {
    writer.write(std::max(0.0, arrival - originSeconds), bytes, size);
    ++count;
}

TapRecording::TapRecording() {
    mobilesensor::setDatagramTap(
        [this](const mobilesensor::TappedDatagram& datagram) { accept(datagram); });
}

TapRecording::~TapRecording() { mobilesensor::setDatagramTap({}); }

void TapRecording::route(std::uint16_t port, DatagramRecorder& recorder) {
    const std::lock_guard<std::mutex> lock(mutex);
    const auto held = waiting.find(port);
    if (held != waiting.end()) {
        for (const Held& datagram : held->second)
            recorder.record(datagram.arrival, datagram.bytes.data(), datagram.bytes.size());
        waiting.erase(held);
    }
    routes[port] = &recorder;
}

std::uint64_t TapRecording::unrouted() const {
    const std::lock_guard<std::mutex> lock(mutex);
    std::uint64_t count = overflow;
    for (const auto& [port, held] : waiting)
        count += held.size();
    return count;
}

void TapRecording::accept(const mobilesensor::TappedDatagram& datagram) {
    const std::lock_guard<std::mutex> lock(mutex);
    const auto route = routes.find(datagram.port);
    if (route != routes.end()) {
        route->second->record(datagram.arrival, datagram.bytes, datagram.size);
        return;
    }
    auto& held = waiting[datagram.port];
    if (held.size() >= HELD_PER_PORT) {
        ++overflow;
        return;
    }
    held.push_back({datagram.arrival,
                    std::vector<std::uint8_t>(datagram.bytes, datagram.bytes + datagram.size)});
}

} // namespace arrivals
