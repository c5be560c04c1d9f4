#pragma once

// Text for JSON: a string quoted with every character JSON requires escaped.

#include <string>
#include <string_view>

namespace kxtools {

// Appends text as a JSON string: quoted, with '"', '\\' and control characters
// escaped; other bytes (UTF-8) pass unchanged.
void appendJsonString(std::string_view text, std::string& out);

} // namespace kxtools
