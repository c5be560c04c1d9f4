#pragma once

// What sensorstream says once the devices listen: where, and where to point each
// phone's app; where readings are published.

#include "sensorstream_options.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sensorstream {

// "kinedgram (text app)".
std::string appDescription(App app);

// The lines of the announcement: each phone's device, address and port; this
// computer's addresses for the phones (interfaces as the devices published them)
// and, with several phones, that each needs its own port; a warning when the bind
// address lets no phone in; the broker the readings go to; how to stop when nothing
// else ends the run. ports: of settings.phones, in order.
std::vector<std::string> announcementLines(const Settings& settings,
                                           const std::vector<std::string>& interfaces,
                                           const std::vector<std::uint16_t>& ports);

// The first line of the live table: the device (or the number of phones), address,
// port and how to end.
std::string liveTitle(const Settings& settings, const std::vector<std::uint16_t>& ports);
// A phone's part of the live table: "left: kinedgram (text app) on UDP port 50000".
std::string liveSectionTitle(const PhoneSpec& phone, std::uint16_t port);

} // namespace sensorstream
