#include "option_parser.h"

#include <algorithm>
#include <sstream>
#include <utility>

namespace kxtools {

namespace {

// Indents every line of text after the first by indent spaces.
std::string indentContinuations(const std::string& text, std::size_t indent) {
    std::string out;
    for (const char c : text) {
        out += c;
        if (c == '\n')
            out.append(indent, ' ');
    }
    return out;
}

} // namespace

OptionParser::OptionParser(std::string program, std::string synopsis, std::string description)
    : programName(std::move(program)), synopsisText(std::move(synopsis)),
      descriptionText(std::move(description)) {}

OptionParser& OptionParser::flag(const std::string& name, const std::string& shortName,
                                 const std::string& help, std::function<void()> apply) {
    entries.push_back({"--" + name, shortName.empty() ? "" : "-" + shortName, "", help,
                       [apply = std::move(apply)](const std::string&) { apply(); }});
    return *this;
}

OptionParser& OptionParser::flag(const std::string& name, const std::string& shortName,
                                 const std::string& help, bool& target) {
    return flag(name, shortName, help, [&target] { target = true; });
}

OptionParser& OptionParser::option(const std::string& name, const std::string& valueName,
                                   const std::string& help,
                                   std::function<void(const std::string&)> apply) {
    entries.push_back({"--" + name, "", valueName, help, std::move(apply)});
    return *this;
}

OptionParser& OptionParser::positional(const std::string& valueName, const std::string& help,
                                       std::function<void(const std::string&)> apply) {
    positionalName = valueName;
    positionalHelp = help;
    positionalApply = std::move(apply);
    return *this;
}

OptionParser& OptionParser::epilogue(const std::string& text) {
    epilogueText = text;
    return *this;
}

const OptionParser::Entry* OptionParser::find(const std::string& argument) const {
    for (const auto& entry : entries) {
        if (argument == entry.name || (!entry.shortName.empty() && argument == entry.shortName))
            return &entry;
    }
    return nullptr;
}

OptionParser::Outcome OptionParser::parse(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return parse(arguments);
}

OptionParser::Outcome OptionParser::parse(const std::vector<std::string>& arguments) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool looksLikeOption = !optionsEnded && argument.size() > 1 && argument[0] == '-';
        if (!looksLikeOption) {
            if (!positionalApply)
                throw UsageError("unexpected argument '" + argument + "'");
            positionalApply(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help" || argument == "-h")
            return Outcome::Help;
        if (argument == "--version")
            return Outcome::Version;

        // "--name=value" carries its value; "--name value" takes the next argument.
        std::string name = argument;
        std::string value;
        bool inlineValue = false;
        if (const auto equals = argument.find('=');
            equals != std::string::npos && argument.compare(0, 2, "--") == 0) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            inlineValue = true;
        }
        const Entry* entry = find(name);
        if (entry == nullptr)
            throw UsageError("unknown option '" + name + "'");
        if (entry->valueName.empty()) {
            if (inlineValue)
                throw UsageError(entry->name + " takes no value");
        } else if (!inlineValue) {
            if (i + 1 == arguments.size())
                throw UsageError(entry->name + " needs a value (" + entry->valueName + ")");
            value = arguments[++i];
        }
        try {
            entry->apply(value);
        } catch (const UsageError&) {
            throw;
        } catch (const std::exception& error) {
            throw UsageError(entry->name + ": " + error.what());
        }
    }
    return Outcome::Run;
}

std::string OptionParser::helpText() const {
    struct Line {
        std::string left;
        std::string help;
    };
    std::vector<Line> lines;
    for (const auto& entry : entries) {
        std::string left = entry.shortName.empty() ? "    " : entry.shortName + ", ";
        left += entry.name;
        if (!entry.valueName.empty())
            left += " " + entry.valueName;
        lines.push_back({left, entry.help});
    }
    lines.push_back({"-h, --help", "show this text and exit"});
    lines.push_back({"    --version", "show the version and exit"});
    std::size_t width = 0;
    for (const auto& line : lines)
        width = std::max(width, line.left.size());
    const std::size_t indent = 2 + width + 2;

    std::ostringstream text;
    text << "Usage: " << programName << " " << synopsisText << "\n\n" << descriptionText << "\n";
    if (positionalApply) {
        text << "\n  " << positionalName << "\n"
             << std::string(indent, ' ') << indentContinuations(positionalHelp, indent) << "\n";
    }
    text << "\nOptions:\n";
    for (const auto& line : lines) {
        text << "  " << line.left << std::string(width - line.left.size() + 2, ' ')
             << indentContinuations(line.help, indent) << "\n";
    }
    if (!epilogueText.empty())
        text << "\n" << epilogueText << "\n";
    return text.str();
}

} // namespace kxtools
