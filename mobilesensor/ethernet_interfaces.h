#pragma once

#include "kinelink_export.h"

#include <string>
#include <vector>

namespace mobilesensor {

// The IPv4 addresses of the computer's network adapters as dotted text, in the
// platform's order: one per adapter (its first address), none for an adapter
// without an address (0.0.0.0), and none for loopback, which a phone cannot reach.
// Wired, wireless and virtual adapters alike. An empty list when the platform has
// no table. Keeps no state; any thread. An address in the Windows adapter table
// that does not parse throws boost::system::system_error.
KINELINK_EXPORT std::vector<std::string> getEthernetInterfaces();

} // namespace mobilesensor
