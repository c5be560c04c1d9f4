#pragma once

#include "mobilesensor/datagram_accounting.h"

#include <string>

// A port's datagram totals (mobilesensor/datagram_accounting.h) as what was added
// to them since an earlier reading.

namespace mobilesensor::testing {

DatagramAccounting accountingSince(const DatagramAccounting& before);

// "port 50000: received 5, from other senders 0, ...", for failure messages.
std::string toText(const DatagramAccounting& totals);

} // namespace mobilesensor::testing
