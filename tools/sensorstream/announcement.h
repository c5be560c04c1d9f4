#pragma once

// What sensorstream says once the device listens: where, and where to point the
// phone app.

#include "sensorstream_options.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sensorstream {

// "kinedgram (text app)".
std::string appDescription(const Settings& settings);

// The lines of the announcement: the device, address and port; this computer's
// addresses for the phone (interfaces as the device published them); a warning when
// the bind address lets no phone in; how to stop when nothing else ends the run.
std::vector<std::string> announcementLines(const Settings& settings,
                                           const std::vector<std::string>& interfaces,
                                           std::uint16_t port);

// The first line of the live table: the device, address, port and how to end.
std::string liveTitle(const Settings& settings, std::uint16_t port);

} // namespace sensorstream
