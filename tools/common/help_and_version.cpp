#include "help_and_version.h"

#include "plugin_versions.h"

#include <iostream>

namespace kxtools {

std::optional<int> answerHelpOrVersion(OptionParser::Outcome outcome, const OptionParser& parser,
                                       const std::string& program, const std::string& version,
                                       const std::vector<std::string>& plugins) {
    switch (outcome) {
    case OptionParser::Outcome::Help:
        std::cout << parser.helpText();
        return 0;
    case OptionParser::Outcome::Version: {
        bool missing = false;
        std::cout << versionText(program, version, plugins, missing);
        return missing ? FAILURE_EXIT_CODE : 0;
    }
    case OptionParser::Outcome::Run:
        break;
    }
    return std::nullopt;
}

} // namespace kxtools
