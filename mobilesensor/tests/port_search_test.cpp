#include "mobilesensor/port_search.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using mobilesensor::getNextPortToTry;

// The candidates a search visits from 0, as the listener walks them.
std::vector<unsigned> walk(std::size_t count) {
    std::vector<unsigned> visited;
    std::uint16_t port = 0;
    bool sequential = false;
    for (std::size_t i = 0; i < count; ++i) {
        port = getNextPortToTry(port, sequential);
        visited.push_back(port);
    }
    return visited;
}

TEST(PortSearch, VisitsFixedListThenCountsFrom49152) {
    const std::vector<unsigned> expected = {50000, 60000, 51111, 52222, 53333, 54444,
                                            55555, 56666, 57777, 58888, 59999, 61111,
                                            62222, 63333, 64444, 49152, 49153, 49154};
    EXPECT_EQ(expected, walk(expected.size()));
}

TEST(PortSearch, CountsUpToTheLastPortAndThenHasNoCandidate) {
    // From 0: 15 ports of the list, then 49152..65535, then the end (0).
    const std::vector<unsigned> visited = walk(15 + (65535 - 49152 + 1) + 1);
    EXPECT_EQ(65535u, visited[visited.size() - 2]);
    EXPECT_EQ(0u, visited.back());
    // Counting visits every port of the dynamic range once, in order.
    for (std::size_t i = 15; i + 1 < visited.size(); ++i)
        ASSERT_EQ(49152u + (i - 15), visited[i]) << "at step " << i;
}

struct Step {
    unsigned from;
    bool sequentialBefore;
    unsigned expected;
    bool sequentialAfter;
};

class PortSearchStep : public ::testing::TestWithParam<Step> {};

TEST_P(PortSearchStep, GivesTheNextCandidate) {
    const Step step = GetParam();
    bool sequential = step.sequentialBefore;
    EXPECT_EQ(step.expected, getNextPortToTry(static_cast<std::uint16_t>(step.from), sequential));
    EXPECT_EQ(step.sequentialAfter, sequential);
}

INSTANTIATE_TEST_SUITE_P(Rules, PortSearchStep,
                         ::testing::Values(
                             // the named steps
                             Step{0, false, 50000, false}, Step{50000, false, 60000, false},
                             Step{60000, false, 51111, false},
                             // 50001..59998 step by 1111; 59999 skips over 60000's neighbourhood
                             Step{50001, false, 51112, false}, Step{59998, false, 61109, false},
                             Step{59999, false, 61111, false},
                             // 60001..64443 step by 1111
                             Step{60001, false, 61112, false}, Step{64424, false, 65535, false},
                             // stepping beyond 65535 would wrap round to a low port: count instead
                             Step{64425, false, 49152, true}, Step{64443, false, 49152, true},
                             // everything else falls back to counting from 49152
                             Step{64444, false, 49152, true}, Step{65535, false, 49152, true},
                             Step{1, false, 49152, true}, Step{49999, false, 49152, true},
                             // counting goes on from wherever it is, even through the list's ports
                             Step{49152, true, 49153, true}, Step{50000, true, 50001, true},
                             Step{0, true, 1, true}, Step{65535, true, 0, true}));

} // namespace
