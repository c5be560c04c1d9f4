#include "host/channel.h"
#include "pixsieve/filter.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using webcam::Filter;

TEST(FrameTypeFromString, NamesOfTheTable) {
    const struct {
        const char* name;
        Filter::FrameType type;
        int number;
    } cases[] = {
        {"RGB24PlanarColumn", Filter::RGB24_PLANAR_COLUMN, 1},
        {"BGRA32PackedRowTopDown", Filter::BGRA32_PACKED_ROW_TOP_DOWN, 2},
        {"YUY2PackedRowBottomUp", Filter::YUY2_PACKED_ROW_BOTTOM_UP, 3},
        {"RGB24PackedRowBottomUp", Filter::RGB24_PACKED_ROW_BOTTOM_UP, 4},
        {"RGB24PackedRowTopDown", Filter::RGB24_PACKED_ROW_TOP_DOWN, 5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.type, Filter::frameTypeFromString(c.name)) << c.name;
        EXPECT_EQ(c.number, static_cast<int>(Filter::frameTypeFromString(c.name))) << c.name;
    }
}

// Anything but an exact, case-sensitive match of a whole name is no type.
TEST(FrameTypeFromString, OtherNamesAreNoType) {
    const char* const names[] = {"",
                                 "rgb24planarcolumn",
                                 "RGB24PLANARCOLUMN",
                                 "Bgra32PackedRowTopDown",
                                 "RGB24PlanarColumn ",
                                 " RGB24PlanarColumn",
                                 "RGB24Planar",
                                 "RGB24PlanarColumnX",
                                 "YUY2",
                                 "RGB24PackedRowTopDown\xC3\xA9"};
    for (const char* name : names)
        EXPECT_EQ(Filter::NO_FRAME_TYPE, Filter::frameTypeFromString(name)) << '"' << name << '"';
    EXPECT_EQ(Filter::NO_FRAME_TYPE,
              Filter::frameTypeFromString(std::string("RGB24PlanarColumn\0", 18)));
}

TEST(Filter, KeepsItsChannelAndTheOptionNames) {
    korvex::host::Channel channel;
    auto* filter = new Filter(channel);
    EXPECT_EQ(&channel, &filter->getChannel());
    filter->term();
    EXPECT_STREQ("InputFrameType", Filter::INPUT_FRAMETYPE);
    EXPECT_STREQ("OutputFrameType", Filter::OUTPUT_FRAMETYPE);
}

} // namespace
