#pragma once

// One phone's sensor device: the programs' host-side session (tools/common), with
// every buffer the device writes going into the run's reading queue, marked with
// the phone and its arrival on the monotonic clock.

#include "phone_spec.h"
#include "reading_queue.h"
#include "tools/common/sensor_session.h"

#include <cstdint>
#include <string>

namespace sensorstream {

class SensorSession final : public kxtools::SensorSession {
public:
    // Loads the phone's app's device plug-in and kineconvert and initialises the
    // device with the phone's port and the bind address ("" for every address).
    // Every buffer the device writes goes into queue with phoneIndex; a full queue
    // holds the device's thread until the output thread makes room. The queue is
    // the run's, shared by every phone: close leaves it open. Throws
    // kxtools::DeviceError (a std::runtime_error) with the device's message when
    // init reports an error.
    SensorSession(const PhoneSpec& phone, std::uint16_t phoneIndex, const std::string& bind,
                  ReadingQueue& queue);
};

using kxtools::messageText;

} // namespace sensorstream
