#include "datagram_accounting.h"

#include "tools/common/json_text.h"

namespace sensorview {

namespace {

// kinelink's totals of every port, added up.
mobilesensor::DatagramAccounting everyPort() {
    mobilesensor::DatagramAccounting sum;
    for (const auto& port : mobilesensor::datagramAccountingForEveryPort()) {
        sum.delivered += port.delivered;
        sum.fromOtherSenders += port.fromOtherSenders;
        sum.malformed += port.malformed;
        sum.droppedBySystem += port.droppedBySystem;
    }
    return sum;
}

} // namespace

KinelinkProcessAccounting::KinelinkProcessAccounting() : start(everyPort()) {}

std::vector<DatagramCounts> KinelinkProcessAccounting::rows() const {
    const mobilesensor::DatagramAccounting now = everyPort();
    DatagramCounts all;
    all.label = "all phones";
    all.delivered = now.delivered - start.delivered;
    all.fromOtherSender = now.fromOtherSenders - start.fromOtherSenders;
    all.malformed = now.malformed - start.malformed;
    all.droppedBySystem = now.droppedBySystem - start.droppedBySystem;
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
