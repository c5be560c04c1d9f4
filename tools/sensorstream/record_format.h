#pragma once

// The three ways sensorstream writes readings: JSON lines, CSV and a table for
// people. Each appends a reading's line, ending in "\n", to a text the caller keeps
// and reuses, so that writing a reading allocates nothing once the text has grown.

#include "sample_record.h"
#include "sensorstream_options.h"

#include <array>
#include <cstddef>
#include <memory>
#include <string>

namespace sensorstream {

class RecordFormat {
public:
    virtual ~RecordFormat() = default;
    // Written once before the first reading (may be empty).
    virtual std::string header() const = 0;
    // Appends the reading's line to out.
    virtual void append(const SampleRecord& record, std::string& out) const = 0;
};

// phoneNameWidth: the longest phone name of the run, which the table's phone
// column fits.
std::unique_ptr<RecordFormat> makeRecordFormat(Format format, std::size_t phoneNameWidth = 5);

// JSON: an object with the phone's name ("Phone") and the reading's arrival on the
// monotonic clock ("Monotonic", seconds to the microsecond), then every field in the
// converter's order; set fields are numbers (Timestamp an array of six), unset ones
// null; NaN and infinities, which JSON has no numbers for, are the strings "NaN",
// "Inf", "-Inf".
class JsonFormat : public RecordFormat {
public:
    JsonFormat();
    std::string header() const override { return ""; }
    void append(const SampleRecord& record, std::string& out) const override;

private:
    // ',' and the quoted name with its colon, made once: ",\"Timestamp\":".
    std::array<std::string, FIELD_COUNT> memberStarts;
    // Every member with the value null, in order, and where each field's begins: a
    // reading sets a few fields, and the unset ones between are copied at once.
    std::string allNulls;
    std::array<std::size_t, FIELD_COUNT + 1> nullsFrom{};
};

// CSV: the phone's name, the monotonic arrival ("Monotonic"), then one column per
// field of SAMPLE_FIELD_NAMES;
// Timestamp as ISO 8601 local time, unset fields empty.
class CsvFormat : public RecordFormat {
public:
    std::string header() const override;
    void append(const SampleRecord& record, std::string& out) const override;
};

// A text with the phone's name, readable numbers (seven significant digits) and
// only the set fields.
class TableFormat : public RecordFormat {
public:
    explicit TableFormat(std::size_t phoneNameWidth = 5);
    std::string header() const override;
    void append(const SampleRecord& record, std::string& out) const override;

private:
    std::size_t phoneWidth;
};

// One reading's line in each format, as a text of its own.
std::string jsonLine(const SampleRecord& record);
std::string csvHeader();
std::string csvLine(const SampleRecord& record);
std::string tableHeader();
std::string tableLine(const SampleRecord& record);

// Seven significant digits, for people: 0.1234567, -9.81, 48.12346.
std::string readableNumber(double value);

} // namespace sensorstream
