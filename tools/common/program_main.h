#pragma once

// The outer frame of every program's main: the error ladder that turns a usage
// mistake into "program: text (see --help)" with exit code 2, and any other
// failure into "program: text" with exit code 1.

#include <functional>
#include <string>

namespace kxtools {

int runProgram(const std::string& program, const std::function<int()>& body);

} // namespace kxtools
