#pragma once

// The page's messages about the whole view, as JSON text:
//   hello   once for every browser: the phones (name, app, port), the camera, the
//           names of the measurements and how many messages may wait for it;
//   status  every half second: the seconds running, the browsers watching, for
//           each phone the readings per second and in all of each measurement,
//           the datagram counts, and the camera's frames.

#include "datagram_accounting.h"
#include "tools/sensorstream/reading_stats.h"
#include "tools/sensorstream/sensorstream_options.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sensorview {

struct PhoneIntro {
    std::string name;
    sensorstream::App app = sensorstream::App::Text;
    std::uint16_t port = 0;
};

struct CameraIntro {
    std::string id;
    std::string resolution;
};

std::string helloJson(const std::vector<PhoneIntro>& phones,
                      const std::optional<CameraIntro>& camera, std::size_t clientQueue);

struct PhoneStatus {
    std::string name;
    sensorstream::MeasurementCounts counts{};
    sensorstream::MeasurementRates rates{};
    std::uint64_t notConverted = 0;
};

struct CameraStatus {
    std::uint64_t arrived = 0;
    double rate = 0.0; // frames a second the camera delivered
    std::uint64_t sent = 0;
};

struct ViewStatus {
    double seconds = 0.0;
    std::size_t clients = 0;
    std::vector<PhoneStatus> phones;
    std::vector<DatagramCounts> accounting;
    std::optional<CameraStatus> camera;
};

std::string statusJson(const ViewStatus& status);

} // namespace sensorview
