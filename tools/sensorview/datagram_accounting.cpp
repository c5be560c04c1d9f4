#include "datagram_accounting.h"

#include "mobilesensor/kinelink_counts.h"
#include "tools/common/json_text.h"

namespace sensorview {

KinelinkProcessAccounting::KinelinkProcessAccounting() {
    const auto start = mobilesensor::getKinelinkCounts();
    deliveredAtStart = start.datagramsDelivered;
    fromOtherAtStart = start.datagramsFromOtherSenders;
    droppedAtStart = start.datagramsDroppedBySystem;
}

std::vector<DatagramCounts> KinelinkProcessAccounting::rows() const {
    const auto now = mobilesensor::getKinelinkCounts();
    DatagramCounts all;
    all.label = "all phones";
    all.delivered = now.datagramsDelivered - deliveredAtStart;
    all.fromOtherSender = now.datagramsFromOtherSenders - fromOtherAtStart;
    all.droppedBySystem = now.datagramsDroppedBySystem - droppedAtStart;
    return {all};
}

namespace {

void appendCount(const char* name, const std::optional<std::uint64_t>& count, std::string& out) {
    out += ",\"";
    out += name;
    out += "\":";
    out += count ? std::to_string(*count) : "null";
}

} // namespace

std::string accountingJson(const std::vector<DatagramCounts>& rows) {
    std::string text = "[";
    for (const auto& row : rows) {
        if (text.size() > 1)
            text += ',';
        text += "{\"label\":";
        kxtools::appendJsonString(row.label, text);
        appendCount("delivered", row.delivered, text);
        appendCount("fromOtherSender", row.fromOtherSender, text);
        appendCount("malformed", row.malformed, text);
        appendCount("droppedBySystem", row.droppedBySystem, text);
        text += '}';
    }
    return text + "]";
}

} // namespace sensorview
