#include "tools/phonesim/recording.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace phonesim;

TEST(Recording, WritesHexLinesThatReadBack) {
    std::ostringstream out;
    RecordingWriter writer(out, App::Binary);
    const std::vector<std::uint8_t> first = {0x00, 0x7f, 0x80, 0xff};
    const std::vector<std::uint8_t> second(300, 0xAB);
    writer.write(0.0, first);
    writer.write(12.3456789, second);
    const std::string text = out.str();
    EXPECT_EQ(0u,
              text.find("# phonesim recording\n# app binary\n0.000000 007f80ff\n12.345679 abab"))
        << text;

    std::istringstream in(text);
    const Recording recording = readRecording(in);
    ASSERT_TRUE(recording.app.has_value());
    EXPECT_EQ(App::Binary, *recording.app);
    ASSERT_EQ(2u, recording.datagrams.size());
    EXPECT_EQ(first, recording.datagrams[0].bytes);
    EXPECT_EQ(second, recording.datagrams[1].bytes);
    EXPECT_EQ(12.345679, recording.datagrams[1].time); // microseconds are kept
}

TEST(Recording, ArrivalClockLineReadsBackAndOlderFilesHaveNone) {
    std::ostringstream out;
    RecordingWriter writer(out, App::Text, 5123.4567891);
    writer.write(0.25, {'A'});
    EXPECT_EQ("# phonesim recording\n# app text\n# arrival monotonic 5123.456789\n0.250000 41\n",
              out.str());
    std::istringstream in(out.str());
    const Recording recording = readRecording(in);
    EXPECT_EQ(5123.456789, recording.arrivalOrigin.value());
    ASSERT_EQ(1u, recording.datagrams.size());

    // A sender's recording names no arrival clock: its times are send times.
    std::ostringstream sent;
    RecordingWriter(sent, App::Text).write(0.0, {'A'});
    std::istringstream sentIn(sent.str());
    EXPECT_FALSE(readRecording(sentIn).arrivalOrigin.has_value());
}

TEST(Recording, HandWrittenFilesWithCommentsBlankLinesAndWindowsLineEnds) {
    std::istringstream in("# my own test\r\n\r\n# app text\r\n"
                          "0.5 412C\r\n"
                          "\n"
                          "1 4E2c0A\n");
    const Recording recording = readRecording(in);
    EXPECT_EQ(App::Text, recording.app.value());
    ASSERT_EQ(2u, recording.datagrams.size());
    EXPECT_EQ(0.5, recording.datagrams[0].time);
    EXPECT_EQ((std::vector<std::uint8_t>{'A', ','}), recording.datagrams[0].bytes);
    EXPECT_EQ((std::vector<std::uint8_t>{'N', ',', '\n'}), recording.datagrams[1].bytes);

    std::istringstream noApp("0 41\n");
    EXPECT_FALSE(readRecording(noApp).app.has_value());
}

TEST(Recording, MistakesNameTheLine) {
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"# app text\nx 41\n", "line 2: 'x' is not a time in seconds (0 or more)"},
        {"-1 41\n", "line 1: '-1' is not a time in seconds (0 or more)"},
        {"inf 41\n", "line 1: 'inf' is not a time in seconds (0 or more)"},
        {"0.5\n", "line 1: expected a time, a space and the datagram's bytes in hex"},
        {"0.5 \n", "line 1: the datagram has no bytes"},
        {"\n\n0.5 414\n", "line 3: odd number of hex digits"},
        {"0 41zz\n", "line 1: 'zz' is not a hex byte"},
        {"0 41 424\n", "line 1: ' 4' is not a hex byte"},
        {"# app phone\n", "line 1: unknown app 'phone' (text or binary)"},
        {"# app text\n# arrival monotonic soon\n",
         "line 2: 'soon' is not a monotonic time in seconds (0 or more)"},
        {"# arrival monotonic -2\n", "line 1: '-2' is not a monotonic time in seconds (0 or more)"},
        {"# arrival monotonic \n", "line 1: '' is not a monotonic time in seconds (0 or more)"},
        {"0 " + std::string(2 * 65508, '0') + "\n", "line 1: datagram longer than 65507 bytes"},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.text);
        try {
            readRecording(in);
            ADD_FAILURE() << "accepted: " << c.text.substr(0, 40);
        } catch (const RecordingError& error) {
            EXPECT_EQ(c.message, std::string(error.what()));
        }
    }
}

} // namespace
