#include "view_messages.h"

#include "tools/common/host_value.h"
#include "tools/common/json_text.h"
#include "tools/sensorstream/sample_record.h"

#include <cmath>

namespace sensorview {

namespace {

void appendNumber(double value, std::string& out) {
    out += std::isfinite(value) ? kxtools::numberText(value) : "null";
}

// {"1":50,"5":50}: the measurements with a count (or a rate) above zero.
template <class Values> void appendPerMeasurement(const Values& values, std::string& out) {
    out += '{';
    bool first = true;
    for (std::size_t code = 0; code < values.size(); ++code) {
        if (!(values[code] > 0))
            continue;
        out += first ? "\"" : ",\"";
        first = false;
        out += std::to_string(code) + "\":";
        // A tenth is as fine as a rate over two seconds can tell.
        appendNumber(std::round(static_cast<double>(values[code]) * 10.0) / 10.0, out);
    }
    out += '}';
}

} // namespace

std::string helloJson(const std::vector<PhoneIntro>& phones,
                      const std::optional<CameraIntro>& camera, std::size_t clientQueue) {
    std::string text = R"({"type":"hello","phones":[)";
    for (std::size_t i = 0; i < phones.size(); ++i) {
        text += i == 0 ? "{\"name\":" : ",{\"name\":";
        kxtools::appendJsonString(phones[i].name, text);
        text += ",\"app\":";
        kxtools::appendJsonString(sensorstream::appName(phones[i].app), text);
        text += ",\"port\":" + std::to_string(phones[i].port) + "}";
    }
    text += "],\"camera\":";
    if (camera) {
        text += "{\"id\":";
        kxtools::appendJsonString(camera->id, text);
        text += ",\"resolution\":";
        kxtools::appendJsonString(camera->resolution, text);
        text += "}";
    } else {
        text += "null";
    }
    text += ",\"measurements\":{";
    for (std::int32_t code = 0; code <= sensorstream::MAX_MEASUREMENT; ++code) {
        text += code == 0 ? "\"" : ",\"";
        text += std::to_string(code) + "\":";
        kxtools::appendJsonString(sensorstream::measurementName(code), text);
    }
    text += "},\"clientQueue\":" + std::to_string(clientQueue) + "}";
    return text;
}

std::string statusJson(const ViewStatus& status) {
    std::string text = R"({"type":"status","seconds":)";
    appendNumber(status.seconds, text);
    text += ",\"clients\":" + std::to_string(status.clients) + ",\"phones\":{";
    for (std::size_t i = 0; i < status.phones.size(); ++i) {
        const auto& phone = status.phones[i];
        if (i > 0)
            text += ',';
        kxtools::appendJsonString(phone.name, text);
        text += ":{\"rates\":";
        appendPerMeasurement(phone.rates, text);
        text += ",\"totals\":";
        appendPerMeasurement(phone.counts, text);
        text += ",\"notConverted\":" + std::to_string(phone.notConverted) + "}";
    }
    text += "},\"accounting\":" + accountingJson(status.accounting) + ",\"camera\":";
    if (status.camera) {
        text += "{\"arrived\":" + std::to_string(status.camera->arrived) + ",\"rate\":";
        appendNumber(status.camera->rate, text);
        text += ",\"sent\":" + std::to_string(status.camera->sent) + "}";
    } else {
        text += "null";
    }
    return text + "}";
}

} // namespace sensorview
