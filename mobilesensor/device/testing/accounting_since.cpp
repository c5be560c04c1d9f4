#include "accounting_since.h"

#include <sstream>

namespace mobilesensor::testing {

DatagramAccounting accountingSince(const DatagramAccounting& before) {
    return datagramAccountingForPort(before.port) - before;
}

std::string toText(const DatagramAccounting& totals) {
    std::ostringstream out;
    out << "port " << totals.port << ": received " << totals.received << ", from other senders "
        << totals.fromOtherSenders << ", delivered " << totals.delivered << ", malformed "
        << totals.malformed << ", dropped by the system " << totals.droppedBySystem;
    return out.str();
}

} // namespace mobilesensor::testing
