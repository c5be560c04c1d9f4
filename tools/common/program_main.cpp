#include "program_main.h"

#include "option_parser.h"

#include <exception>
#include <iostream>

namespace kxtools {

int runProgram(const std::string& program, const std::function<int()>& body) {
    try {
        return body();
    } catch (const UsageError& error) {
        std::cerr << program << ": " << error.what() << " (see " << program << " --help)\n";
        return USAGE_EXIT_CODE;
    } catch (const std::exception& error) {
        std::cerr << program << ": " << error.what() << "\n";
        return FAILURE_EXIT_CODE;
    } catch (...) {
        std::cerr << program << ": unexpected failure\n";
        return FAILURE_EXIT_CODE;
    }
}

} // namespace kxtools
