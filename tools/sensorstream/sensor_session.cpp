#include "sensor_session.h"

#include "tools/arrivals/monotonic_clock.h"

#include <utility>

namespace sensorstream {

namespace {

kxtools::SensorSettings settingsOf(const PhoneSpec& phone, const std::string& bind) {
    kxtools::SensorSettings settings;
    settings.app = phone.app;
    settings.port = phone.port;
    settings.bind = bind;
    return settings;
}

} // namespace

SensorSession::SensorSession(const PhoneSpec& phone, std::uint16_t phoneIndex,
                             const std::string& bind, ReadingQueue& queue)
    : kxtools::SensorSession(settingsOf(phone, bind), [&queue,
                                                       phoneIndex](korvex::host::BufferPtr buffer) {
          return queue.push(PhoneBuffer{std::move(buffer), phoneIndex, arrivals::monotonicNow()});
      }) {}

} // namespace sensorstream
