#include "tools/common/number_parsing.h"
#include "tools/common/option_parser.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using kxtools::OptionParser;
using kxtools::UsageError;

// A parser with one option of each sort, recording what it was given.
struct Recorder {
    bool quiet = false;
    std::string name;
    double rate = 0;
    std::vector<std::string> files;
    OptionParser parser{"demo", "[OPTIONS] FILE...", "Does a demonstration."};

    explicit Recorder(bool withPositional = true) {
        parser.flag("quiet", "q", "say less", quiet)
            .option("name", "TEXT", "a name", [this](const std::string& v) { name = v; })
            .option("rate", "HZ", "a rate\nsecond line of help", [this](const std::string& v) {
                rate = kxtools::parseReal(v, "--rate", 0.5, 100);
            });
        if (withPositional)
            parser.positional("FILE", "files to read",
                              [this](const std::string& v) { files.push_back(v); });
    }
};

TEST(OptionParser, AcceptsBothValueSpellingsShortFlagsAndPositionals) {
    Recorder r;
    EXPECT_EQ(OptionParser::Outcome::Run,
              r.parser.parse({"a", "--name", "x y", "-q", "--rate=2.5", "b", "--", "--c"}));
    EXPECT_TRUE(r.quiet);
    EXPECT_EQ("x y", r.name);
    EXPECT_EQ(2.5, r.rate);
    EXPECT_EQ((std::vector<std::string>{"a", "b", "--c"}), r.files);
}

TEST(OptionParser, ValueMayLookLikeAnOptionOrBeEmpty) {
    Recorder r;
    r.parser.parse({"--name", "-x"});
    EXPECT_EQ("-x", r.name);
    r.parser.parse({"--name="});
    EXPECT_EQ("", r.name);
    r.parser.parse({"-"}); // a lone dash is a positional (often "standard input")
    EXPECT_EQ(std::vector<std::string>{"-"}, r.files);
}

TEST(OptionParser, HelpAndVersionStopParsing) {
    Recorder r;
    EXPECT_EQ(OptionParser::Outcome::Help, r.parser.parse({"--name", "a", "--help", "--bogus"}));
    EXPECT_EQ("a", r.name);
    EXPECT_EQ(OptionParser::Outcome::Help, r.parser.parse({"-h"}));
    EXPECT_EQ(OptionParser::Outcome::Version, r.parser.parse({"--version", "--name", "b"}));
    EXPECT_EQ("a", r.name) << "arguments after --version are not applied";
}

TEST(OptionParser, MistakesNameTheOption) {
    const struct {
        std::vector<std::string> arguments;
        const char* message;
        bool withPositional;
    } cases[] = {
        {{"--bogus"}, "unknown option '--bogus'", true},
        {{"--bogus=1"}, "unknown option '--bogus'", true},
        {{"-x"}, "unknown option '-x'", true},
        {{"--name"}, "--name needs a value (TEXT)", true},
        {{"--quiet=yes"}, "--quiet takes no value", true},
        {{"--rate", "fast"}, "--rate: 'fast' is not a number", true},
        {{"--rate", "200"}, "--rate: '200' is out of range (0.5 to 100)", true},
        {{"stray"}, "unexpected argument 'stray'", false},
    };
    for (const auto& c : cases) {
        Recorder r(c.withPositional);
        try {
            r.parser.parse(c.arguments);
            ADD_FAILURE() << "no error for " << c.arguments[0];
        } catch (const UsageError& error) {
            EXPECT_EQ(c.message, std::string(error.what()));
        }
    }
}

TEST(OptionParser, OtherExceptionsFromHandlersBecomeUsageErrors) {
    OptionParser parser("demo", "", "");
    parser.option("app", "NAME", "", [](const std::string&) {
        throw std::invalid_argument("must be text or binary");
    });
    try {
        parser.parse({"--app", "x"});
        FAIL();
    } catch (const UsageError& error) {
        EXPECT_STREQ("--app: must be text or binary", error.what());
    }
}

TEST(OptionParser, HelpTextListsEveryOptionAligned) {
    Recorder r;
    const std::string help = r.parser.helpText();
    EXPECT_EQ(0u, help.find("Usage: demo [OPTIONS] FILE...\n\nDoes a demonstration.\n"));
    for (const char* expected :
         {"  -q, --quiet      say less\n", "      --name TEXT  a name\n",
          "      --rate HZ    a rate\n                   second line of help\n",
          "  -h, --help       show this text and exit\n", "      --version    show the version",
          "  FILE\n                   files to read\n"})
        EXPECT_NE(std::string::npos, help.find(expected)) << expected << "\nin\n" << help;
}

} // namespace
