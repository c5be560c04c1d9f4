#include "record_format.h"

#include "tools/common/host_value.h"

#include <cmath>
#include <cstdio>

namespace sensorstream {

namespace {

void appendJsonString(const std::string& text, std::string& out) {
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
}

void appendJsonNumber(double value, std::string& out) {
    const std::string text = kxtools::numberText(value);
    if (std::isfinite(value))
        out += text;
    else
        appendJsonString(text, out);
}

// Quotes a CSV cell only when it needs it.
std::string csvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string joined(const std::vector<double>& values) {
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i)
        text += (i == 0 ? "" : " ") + kxtools::numberText(values[i]);
    return text;
}

class JsonFormat : public RecordFormat {
public:
    std::string header() const override { return ""; }
    void append(const SampleRecord& record, std::string& out) const override {
        out += jsonLine(record);
    }
};

class CsvFormat : public RecordFormat {
public:
    std::string header() const override { return csvHeader(); }
    void append(const SampleRecord& record, std::string& out) const override {
        out += csvLine(record);
    }
};

class TableFormat : public RecordFormat {
public:
    std::string header() const override { return tableHeader(); }
    void append(const SampleRecord& record, std::string& out) const override {
        out += tableLine(record);
    }
};

} // namespace

std::unique_ptr<RecordFormat> makeRecordFormat(Format format) {
    switch (format) {
    case Format::Csv:
        return std::make_unique<CsvFormat>();
    case Format::Table:
        return std::make_unique<TableFormat>();
    case Format::Json:
        break;
    }
    return std::make_unique<JsonFormat>();
}

std::string jsonLine(const SampleRecord& record) {
    std::string out = "{";
    bool first = true;
    for (const auto& field : record.fields) {
        if (!first)
            out += ',';
        first = false;
        appendJsonString(field.name, out);
        out += ':';
        if (!field.set) {
            out += "null";
        } else if (field.values.size() == 1 && field.name != "Timestamp") {
            appendJsonNumber(field.values.front(), out);
        } else {
            out += '[';
            for (std::size_t i = 0; i < field.values.size(); ++i) {
                if (i != 0)
                    out += ',';
                appendJsonNumber(field.values[i], out);
            }
            out += ']';
        }
    }
    out += "}\n";
    return out;
}

std::string csvHeader() {
    std::string line;
    for (std::size_t i = 0; i < SAMPLE_FIELD_NAMES.size(); ++i)
        line += (i == 0 ? "" : ",") + csvCell(SAMPLE_FIELD_NAMES[i]);
    return line + "\n";
}

std::string csvLine(const SampleRecord& record) {
    std::string line;
    for (std::size_t i = 0; i < SAMPLE_FIELD_NAMES.size(); ++i) {
        if (i != 0)
            line += ',';
        const SampleField* field = record.find(SAMPLE_FIELD_NAMES[i]);
        if (field == nullptr || !field->set)
            continue;
        std::string cell;
        if (field->name == "Timestamp" && field->values.size() == record.timestamp.size())
            cell = timestampText(record.timestamp);
        if (cell.empty())
            cell = joined(field->values);
        line += csvCell(cell);
    }
    return line + "\n";
}

std::string readableNumber(double value) {
    if (!std::isfinite(value))
        return kxtools::numberText(value);
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", value);
    return text;
}

namespace {

constexpr int TIME_WIDTH = 12;
constexpr int MEASUREMENT_WIDTH = 19;

} // namespace

std::string tableHeader() {
    char line[128];
    std::snprintf(line, sizeof line, "%-*s  %-*s  %s\n", TIME_WIDTH, "time", MEASUREMENT_WIDTH,
                  "measurement", "values");
    return line;
}

std::string tableLine(const SampleRecord& record) {
    char start[96];
    std::snprintf(start, sizeof start, "%-*s  %-*s", TIME_WIDTH,
                  timeOfDayText(record.timestamp).c_str(), MEASUREMENT_WIDTH,
                  measurementName(record.measurement).c_str());
    std::string line = start;
    for (const auto& field : record.fields) {
        if (!field.set || field.name == "Timestamp" || field.name == "Measurement")
            continue;
        line += "  " + field.name + " ";
        for (std::size_t i = 0; i < field.values.size(); ++i)
            line += (i == 0 ? "" : " ") + readableNumber(field.values[i]);
    }
    return line + "\n";
}

} // namespace sensorstream
