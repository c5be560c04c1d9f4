#pragma once

// The three ways sensorstream writes readings: JSON lines, CSV and a table for
// people. Each turns a reading into one line of text ending in "\n".

#include "sample_record.h"
#include "sensorstream_options.h"

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

std::unique_ptr<RecordFormat> makeRecordFormat(Format format);

// JSON: an object with every field of the structure in its order; set fields are
// numbers (Timestamp an array of six), unset ones null; NaN and infinities, which
// JSON has no numbers for, are the strings "NaN", "Inf", "-Inf".
std::string jsonLine(const SampleRecord& record);

// CSV: one column per field of SAMPLE_FIELD_NAMES; Timestamp as ISO 8601 local
// time, unset fields empty.
std::string csvHeader();
std::string csvLine(const SampleRecord& record);

// A text with readable numbers (seven significant digits) and only the set fields.
std::string tableHeader();
std::string tableLine(const SampleRecord& record);

// Seven significant digits, for people: 0.1234567, -9.81, 48.12346.
std::string readableNumber(double value);

} // namespace sensorstream
