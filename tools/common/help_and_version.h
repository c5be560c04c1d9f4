#pragma once

// The answers every program of the stand-in host gives to --help and --version.

#include "tools/common/option_parser.h"

#include <optional>
#include <string>
#include <vector>

namespace kxtools {

// Prints the help text or the version text (the program's own version, then that
// of every plug-in it loads) on standard output when the command line asked for
// it, and gives the exit code: 0, or FAILURE_EXIT_CODE when a plug-in could not be
// loaded. Nothing when the program is to run.
std::optional<int> answerHelpOrVersion(OptionParser::Outcome outcome, const OptionParser& parser,
                                       const std::string& program, const std::string& version,
                                       const std::vector<std::string>& plugins);

} // namespace kxtools
