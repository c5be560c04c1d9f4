#pragma once

// A small command-line parser shared by the stand-in host's programs: long options
// with an optional short alias, "--name value" and "--name=value", built-in --help
// and --version, and a help text generated from the registered options.

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kxtools {

// A mistake on the command line. The text names the option and what is wrong with
// it; programs print it with their name and exit with USAGE_EXIT_CODE.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr int USAGE_EXIT_CODE = 2;
constexpr int FAILURE_EXIT_CODE = 1;

class OptionParser {
public:
    // What the command line asks for once it parsed.
    enum class Outcome { Run, Help, Version };

    // synopsis follows "Usage: <program> "; description is printed below it.
    OptionParser(std::string program, std::string synopsis, std::string description);

    // An option without a value. shortName is empty or a single character.
    OptionParser& flag(const std::string& name, const std::string& shortName,
                       const std::string& help, std::function<void()> apply);
    OptionParser& flag(const std::string& name, const std::string& shortName,
                       const std::string& help, bool& target);

    // An option with a value; apply may throw UsageError (or anything derived from
    // std::exception, whose text is then prefixed with the option's name).
    OptionParser& option(const std::string& name, const std::string& valueName,
                         const std::string& help, std::function<void(const std::string&)> apply);

    // Arguments that are not options. Without a handler they are errors.
    OptionParser& positional(const std::string& valueName, const std::string& help,
                             std::function<void(const std::string&)> apply);

    // Text printed after the option list (examples, notes).
    OptionParser& epilogue(const std::string& text);

    // Applies every argument in order. Stops at --help or --version (returning
    // them without applying later arguments) and throws UsageError on mistakes.
    // A lone "--" ends the options: everything after it is positional.
    Outcome parse(int argc, const char* const* argv);
    Outcome parse(const std::vector<std::string>& arguments);

    std::string helpText() const;
    const std::string& program() const { return programName; }

private:
    struct Entry {
        std::string name;      // with the leading dashes
        std::string shortName; // "-x" or empty
        std::string valueName; // empty for flags
        std::string help;
        std::function<void(const std::string&)> apply;
    };
    const Entry* find(const std::string& argument) const;

    std::string programName;
    std::string synopsisText;
    std::string descriptionText;
    std::string epilogueText;
    std::vector<Entry> entries;
    std::string positionalName;
    std::string positionalHelp;
    std::function<void(const std::string&)> positionalApply;
};

} // namespace kxtools
