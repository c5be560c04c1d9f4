#pragma once

// Command-line values that must be one of a few words ("--app text|binary"), with
// a message that names the option and every word it takes.

#include "option_parser.h"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <utility>

namespace kxtools {

// The value paired with text. Any other text throws UsageError
// "<what>: '<text>' is not <kind> (a, b or c)".
template <class T>
T parseChoice(const std::string& text, const std::string& what, const std::string& kind,
              std::initializer_list<std::pair<const char*, T>> choices) {
    std::string names;
    std::size_t listed = 0;
    for (const auto& [name, value] : choices) {
        if (text == name)
            return value;
        if (listed > 0)
            names += listed + 1 == choices.size() ? " or " : ", ";
        names += name;
        ++listed;
    }
    throw UsageError(what + ": '" + text + "' is not " + kind + " (" + names + ")");
}

} // namespace kxtools
