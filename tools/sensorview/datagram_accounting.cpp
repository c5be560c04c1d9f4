#include "datagram_accounting.h"

#include "mobilesensor/datagram_accounting.h"
#include "tools/common/json_text.h"

namespace sensorview {

KinelinkPortAccounting::KinelinkPortAccounting(std::vector<PhonePort> phones) {
    for (auto& phone : phones) {
        const std::uint16_t port = phone.port;
        baselines.push_back({std::move(phone), mobilesensor::datagramAccountingForPort(port)});
    }
}

std::vector<DatagramCounts> KinelinkPortAccounting::rows() const {
    std::vector<DatagramCounts> all;
    for (const auto& baseline : baselines) {
        // The port's totals only grow (a closed socket's drops are kept).
        const auto added =
            mobilesensor::datagramAccountingForPort(baseline.phone.port) - baseline.atStart;
        DatagramCounts row;
        row.label = baseline.phone.name;
        row.delivered = added.delivered;
        row.fromOtherSender = added.fromOtherSenders;
        row.malformed = added.malformed;
        row.droppedBySystem = added.droppedBySystem;
        all.push_back(std::move(row));
    }
    return all;
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
