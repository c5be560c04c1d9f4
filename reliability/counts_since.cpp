#include "counts_since.h"

#include <sstream>

namespace reliability {

mobilesensor::KinelinkCounts countsSince(const mobilesensor::KinelinkCounts& before) {
    const mobilesensor::KinelinkCounts now = mobilesensor::getKinelinkCounts();
    mobilesensor::KinelinkCounts d;
    d.datagramsReceived = now.datagramsReceived - before.datagramsReceived;
    d.datagramsFromOtherSenders = now.datagramsFromOtherSenders - before.datagramsFromOtherSenders;
    d.datagramsDelivered = now.datagramsDelivered - before.datagramsDelivered;
    d.datagramsDroppedBySystem = now.datagramsDroppedBySystem - before.datagramsDroppedBySystem;
    d.sampleBuffersCreated = now.sampleBuffersCreated - before.sampleBuffersCreated;
    d.sampleBuffersDestroyed = now.sampleBuffersDestroyed - before.sampleBuffersDestroyed;
    return d;
}

std::string toText(const mobilesensor::KinelinkCounts& counts) {
    std::ostringstream out;
    out << "received " << counts.datagramsReceived << ", from other senders "
        << counts.datagramsFromOtherSenders << ", delivered " << counts.datagramsDelivered
        << ", dropped by the system " << counts.datagramsDroppedBySystem
        << ", sample buffers created " << counts.sampleBuffersCreated << ", destroyed "
        << counts.sampleBuffersDestroyed;
    return out.str();
}

} // namespace reliability
