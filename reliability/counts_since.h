#pragma once

#include "mobilesensor/kinelink_counts.h"

#include <string>

// kinelink's process-wide counts (kinelink_counts.h) as differences from an
// earlier reading.

namespace reliability {

mobilesensor::KinelinkCounts countsSince(const mobilesensor::KinelinkCounts& before);

// "received 5, from other senders 0, ...", for messages.
std::string toText(const mobilesensor::KinelinkCounts& counts);

} // namespace reliability
