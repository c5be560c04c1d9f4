#pragma once

// Host structures shaped like the converter's, built in the test through the host
// array API: 18 fields, Timestamp and Measurement set, and the given data fields.

#include "tools/common/host_value.h"
#include "tools/sensorstream/sample_record.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace sensorstream::testing {

inline kxtools::HostArray
sampleStructure(std::int32_t measurement, const std::array<double, 6>& timestamp,
                const std::vector<std::pair<std::string, double>>& fields) {
    std::vector<const char*> names(SAMPLE_FIELD_NAMES.begin(), SAMPLE_FIELD_NAMES.end());
    kxtools::HostArray structure(
        tvCreateStructMatrix(1, 1, static_cast<int>(names.size()), names.data()));
    tvArray* time = tvCreateNumericMatrix(1, 6, tvDOUBLE_CLASS, tvREAL);
    std::memcpy(tvGetData(time), timestamp.data(), sizeof(double) * 6);
    tvSetField(structure.get(), 0, "Timestamp", time);
    tvArray* code = tvCreateNumericMatrix(1, 1, tvINT32_CLASS, tvREAL);
    std::memcpy(tvGetData(code), &measurement, sizeof measurement);
    tvSetField(structure.get(), 0, "Measurement", code);
    for (const auto& [name, value] : fields)
        tvSetField(structure.get(), 0, name.c_str(), tvCreateDoubleScalar(value));
    return structure;
}

inline SampleRecord sampleRecord(std::int32_t measurement, const std::array<double, 6>& timestamp,
                                 const std::vector<std::pair<std::string, double>>& fields) {
    return *readSampleRecord(sampleStructure(measurement, timestamp, fields).get());
}

constexpr std::array<double, 6> MARCH_2_2014 = {2014, 3, 2, 10, 15, 30.25};

} // namespace sensorstream::testing
