// The plug-in's exports and the converter's fixed answers.

#include "converter_fixture.h"

#include <string>

namespace {

using namespace kineconvert::testing;

using ConverterPlugin = ConverterTest;

TEST_F(ConverterPlugin, AnswersTheFourQueries) {
    EXPECT_EQ(1, converter->query1());
    EXPECT_EQ(0, converter->query2());
    EXPECT_EQ(1, converter->query3());
    EXPECT_EQ(0, converter->query4());
}

TEST_F(ConverterPlugin, EveryCreateMakesItsOwnConverter) {
    korvex::host::ConverterPtr second = library.createConverter();
    ASSERT_NE(nullptr, second);
    EXPECT_NE(converter.get(), second.get());
    // Ending one converter leaves the other working.
    second.reset();
    EXPECT_EQ(1, converter->query1());
}

TEST_F(ConverterPlugin, PublishesVersionAndBuildDate) {
    EXPECT_EQ("kineconvert", library.name());
    const std::string version = library.version();
    EXPECT_NE(std::string::npos, version.find('.')) << version;
    EXPECT_FALSE(library.buildDate().empty());
}

} // namespace
