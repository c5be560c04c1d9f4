#include "counts_since.h"

#include <sstream>

namespace reliability {

mobilesensor::KinelinkCounts countsSince(const mobilesensor::KinelinkCounts& before) {
    return mobilesensor::getKinelinkCounts() - before;
}

std::string toText(const mobilesensor::KinelinkCounts& counts) {
    std::ostringstream out;
    out << "received " << counts.datagramsReceived << ", from other senders "
        << counts.datagramsFromOtherSenders << ", delivered " << counts.datagramsDelivered
        << ", rejected " << counts.datagramsRejected << ", dropped by the system "
        << counts.datagramsDroppedBySystem << ", sample buffers created "
        << counts.sampleBuffersCreated << ", destroyed " << counts.sampleBuffersDestroyed;
    return out.str();
}

} // namespace reliability
