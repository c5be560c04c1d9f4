#include "accounting_since.h"

#include <sstream>

namespace mobilesensor::testing {

DatagramAccounting accountingSince(const DatagramAccounting& before) {
    const DatagramAccounting now = datagramAccountingForPort(before.port);
    DatagramAccounting added;
    added.port = before.port;
    added.received = now.received - before.received;
    added.fromOtherSenders = now.fromOtherSenders - before.fromOtherSenders;
    added.delivered = now.delivered - before.delivered;
    added.malformed = now.malformed - before.malformed;
    added.droppedBySystem = now.droppedBySystem - before.droppedBySystem;
    return added;
}

std::string toText(const DatagramAccounting& totals) {
    std::ostringstream out;
    out << "port " << totals.port << ": received " << totals.received << ", from other senders "
        << totals.fromOtherSenders << ", delivered " << totals.delivered << ", malformed "
        << totals.malformed << ", dropped by the system " << totals.droppedBySystem;
    return out.str();
}

} // namespace mobilesensor::testing
