#pragma once

// A small strict JSON reader for the tests: one value per call, the grammar of
// RFC 8259 and nothing more (no NaN, no trailing commas, no comments, nothing after
// the value but white space). Throws std::runtime_error naming the position.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace sensorstream::testing {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<JsonValue> items;                           // Array
    std::vector<std::pair<std::string, JsonValue>> members; // Object, in order

    // The member of that name; throws when there is none.
    const JsonValue& at(const std::string& name) const;
};

JsonValue parseJson(const std::string& text);

} // namespace sensorstream::testing
