// The page's server over real sockets on 127.0.0.1: only GET of the known files
// and the live WebSocket; a browser that never reads misses messages, counted and
// told to it, while the others get every one; no more browsers than allowed; a
// stop that closes everything, a stalled browser included.

#include "live_client.h"
#include "tools/sensorview/view_server.h"

#include <boost/asio/connect.hpp>
#include <gtest/gtest.h>
#include <regex>
#include <thread>

namespace {

using namespace sensorview;
using namespace sensorview::testing;

WebFiles testFiles() {
    return WebFiles({{"/", "index.html", "text/html; charset=utf-8", "<html>the page</html>"},
                     {"/sensorview.js", "sensorview.js", "text/javascript; charset=utf-8",
                      "'use strict'; // the script"}});
}

constexpr const char* HELLO = R"({"type":"hello","phones":[]})";

ServerSettings settings(std::size_t maxClients = 4, std::size_t queue = 16) {
    ServerSettings made;
    made.port = 0;
    made.maxClients = maxClients;
    made.clientQueue = queue;
    return made;
}

OutMessage readings(std::size_t number, std::size_t size) {
    OutMessage message;
    message.kind = MessageKind::Readings;
    message.readings = 1;
    std::string text = R"({"type":"readings","n":)" + std::to_string(number) + R"(,"pad":")";
    text.append(size, 'x');
    message.data = std::make_shared<const std::string>(text + "\"}");
    return message;
}

std::optional<std::size_t> numberOf(const std::string& message) {
    static const std::regex number(R"("type":"readings","n":(\d+))");
    std::smatch match;
    if (!std::regex_search(message, match, number))
        return std::nullopt;
    return static_cast<std::size_t>(std::stoul(match[1]));
}

class ViewServerTest : public ::testing::Test {
protected:
    void startServer(const ServerSettings& chosen) {
        server = std::make_unique<ViewServer>(chosen, testFiles(), HELLO);
        server->start();
        port = server->port();
    }
    void SetUp() override { startServer(settings()); }
    void TearDown() override {
        if (server)
            server->stop();
    }

    std::unique_ptr<ViewServer> server;
    std::uint16_t port = 0;
};

TEST_F(ViewServerTest, ServesKnownFilesOverTheSocket) {
    const auto page =
        rawExchange(port, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(200, statusOf(page));
    EXPECT_NE(std::string::npos, page.find("<html>the page</html>"));
    const auto script = rawExchange(
        port, "GET /sensorview.js HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(200, statusOf(script));
    EXPECT_NE(std::string::npos, script.find("// the script"));
}

TEST_F(ViewServerTest, KeepsAConnectionForTheNextRequest) {
    const auto both =
        rawExchange(port, "GET /sensorview.js HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
                          "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    EXPECT_NE(std::string::npos, both.find("// the script"));
    EXPECT_NE(std::string::npos, both.find("<html>the page</html>"));
}

struct RawCase {
    const char* name;
    const char* request; // the bytes sent, as they are
    int status;          // 0: the connection closes without an answer
};

class RawRequest : public ViewServerTest, public ::testing::WithParamInterface<RawCase> {};

TEST_P(RawRequest, IsAnsweredWithItsStatusAndNoFile) {
    const auto answer = rawExchange(port, GetParam().request);
    EXPECT_EQ(GetParam().status, statusOf(answer)) << answer;
    EXPECT_EQ(std::string::npos, answer.find("the page"));
    EXPECT_EQ(std::string::npos, answer.find("the script"));
    EXPECT_EQ(std::string::npos, answer.find("root:"));
}

INSTANTIATE_TEST_SUITE_P(
    PathsMethodsAndTraversals, RawRequest,
    ::testing::Values(
        RawCase{"DotDot", "GET /../../../../etc/passwd HTTP/1.1\r\nHost: a\r\n\r\n", 404},
        RawCase{"EncodedSlash", "GET /..%2f..%2f..%2fetc%2fpasswd HTTP/1.1\r\nHost: a\r\n\r\n",
                404},
        RawCase{"EncodedDots", "GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\nHost: a\r\n\r\n", 404},
        RawCase{"DoubleSlash", "GET //etc/passwd HTTP/1.1\r\nHost: a\r\n\r\n", 404},
        RawCase{"FileNameNotPath", "GET /index.html HTTP/1.1\r\nHost: a\r\n\r\n", 404},
        RawCase{"BelowAKnownFile",
                "GET /sensorview.js/../../etc/passwd HTTP/1.1\r\nHost: a\r\n\r\n", 404},
        RawCase{"AbsoluteForm", "GET http://127.0.0.1/../etc/passwd HTTP/1.1\r\nHost: a\r\n\r\n",
                404},
        RawCase{"LivePathWithoutUpgrade", "GET /live HTTP/1.1\r\nHost: a\r\n\r\n", 404},
        RawCase{"Post", "POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 5\r\n\r\nhello", 405},
        RawCase{"Put", "PUT /sensorview.js HTTP/1.1\r\nHost: a\r\nContent-Length: 1\r\n\r\nx", 405},
        RawCase{"Delete", "DELETE / HTTP/1.1\r\nHost: a\r\n\r\n", 405},
        RawCase{"Head", "HEAD / HTTP/1.1\r\nHost: a\r\n\r\n", 405},
        RawCase{"Options", "OPTIONS * HTTP/1.1\r\nHost: a\r\n\r\n", 405},
        RawCase{"UnknownMethod", "BREW / HTTP/1.1\r\nHost: a\r\n\r\n", 405},
        RawCase{"BodyOverTheLimit", "GET / HTTP/1.1\r\nHost: a\r\nContent-Length: 100000\r\n\r\n",
                0},
        RawCase{"NotHttp", "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", 0}),
    [](const ::testing::TestParamInfo<RawCase>& testCase) {
        return std::string(testCase.param.name);
    });

TEST_F(ViewServerTest, WebSocketOnlyOnTheLivePathAndOnlyForItsOwnPage) {
    const auto elsewhere = rawExchange(
        port, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    EXPECT_EQ(404, statusOf(elsewhere));

    LiveClient foreign(port, 0, "http://evil.example");
    EXPECT_TRUE(foreign.handshake());
    EXPECT_EQ(403, foreign.response().result_int());

    LiveClient own(port, 0, "http://127.0.0.1:" + std::to_string(port));
    EXPECT_FALSE(own.handshake());
    EXPECT_EQ(HELLO, own.read().value_or("(nothing)"));
}

TEST_F(ViewServerTest, NewClientGetsHelloLatestStatusAndFrameThenEveryMessageInOrder) {
    OutMessage status;
    status.kind = MessageKind::Status;
    status.data = std::make_shared<const std::string>(R"({"type":"status","n":1})");
    OutMessage frame;
    frame.kind = MessageKind::Frame;
    frame.data = std::make_shared<const std::string>("\xff\xd8 jpeg bytes");
    server->hub().publish(status);
    server->hub().publish(frame);

    // The hub takes messages in the order they were published: once a client that
    // joined before this one has the frame, the new one finds both kept.
    LiveClient first(port);
    ASSERT_FALSE(first.handshake());
    std::optional<std::string> seen;
    do {
        seen = first.read();
    } while (seen && !first.lastWasBinary());
    ASSERT_TRUE(seen) << "the first client never got a frame";

    LiveClient client(port);
    ASSERT_FALSE(client.handshake());
    EXPECT_EQ(HELLO, client.read().value_or(""));
    EXPECT_EQ(R"({"type":"status","n":1})", client.read().value_or(""));
    EXPECT_EQ("\xff\xd8 jpeg bytes", client.read().value_or(""));
    EXPECT_TRUE(client.lastWasBinary());
    for (std::size_t n = 0; n < 10; ++n)
        server->hub().publish(readings(n, 10));
    for (std::size_t n = 0; n < 10; ++n)
        EXPECT_EQ(n, numberOf(client.read().value_or("")).value_or(999));
}

TEST_F(ViewServerTest, StalledClientMissesCountedAndToldWhileOthersGetEverything) {
    LiveClient stalled(port, 4096);
    ASSERT_FALSE(stalled.handshake());
    LiveClient reader(port);
    ASSERT_FALSE(reader.handshake());
    ASSERT_EQ(HELLO, reader.read().value_or(""));

    // Far more than the stalled client's socket buffers and outbox hold. Each
    // message waits for the reading client, so that it never falls behind; the
    // publisher is never held up by the client that does not read.
    constexpr std::size_t MESSAGES = 300;
    constexpr std::size_t SIZE = 64 * 1024;
    for (std::size_t n = 0; n < MESSAGES; ++n) {
        server->hub().publish(readings(n, SIZE));
        const auto got = reader.read();
        ASSERT_TRUE(got) << "the reading client stopped getting messages at " << n;
        ASSERT_EQ(n, numberOf(*got).value_or(999999));
    }

    // Now the stalled client reads: what it got and what it was told it missed
    // account for every message.
    std::size_t received = 0;
    std::size_t lastNumber = 0;
    std::uint64_t missed = 0;
    static const std::regex notice(R"(\{"type":"missed","readings":(\d+),"frames":0\})");
    for (;;) {
        const auto got = stalled.read(received + missed >= MESSAGES ? 500ms : 10s);
        if (!got)
            break;
        std::smatch match;
        if (std::regex_match(*got, match, notice)) {
            missed = std::stoull(match[1]);
        } else if (const auto number = numberOf(*got)) {
            EXPECT_TRUE(received == 0 || *number > lastNumber) << "out of order at " << *number;
            lastNumber = *number;
            ++received;
        }
    }
    EXPECT_GT(missed, 0u) << "the stalled client missed nothing: the test did not stall it";
    EXPECT_EQ(MESSAGES, received + missed);
    // The last message is the newest one, which the outbox kept.
    EXPECT_EQ(MESSAGES - 1, lastNumber);
}

TEST_F(ViewServerTest, RefusesClientsBeyondTheLimitWithAPageAndTakesOneWhenAPlaceFrees) {
    server->stop();
    startServer(settings(2));
    LiveClient one(port);
    ASSERT_FALSE(one.handshake());
    LiveClient two(port);
    ASSERT_FALSE(two.handshake());

    LiveClient three(port);
    EXPECT_TRUE(three.handshake());
    EXPECT_EQ(503, three.response().result_int());
    const auto page =
        rawExchange(port, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(503, statusOf(page));
    EXPECT_NE(std::string::npos, page.find("already shows its live view to 2 browsers"));

    // A place frees once a client has gone; wait for it, bounded.
    one.close();
    bool joined = false;
    for (int attempt = 0; attempt < 100 && !joined; ++attempt) {
        LiveClient later(port);
        joined = !later.handshake();
        if (!joined)
            std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(joined);
}

TEST_F(ViewServerTest, StopClosesEveryClientAndThePortEvenWithAStalledClient) {
    LiveClient stalled(port, 4096);
    ASSERT_FALSE(stalled.handshake());
    for (std::size_t n = 0; n < 100; ++n)
        server->hub().publish(readings(n, 64 * 1024));
    LiveClient reader(port);
    ASSERT_FALSE(reader.handshake());
    ASSERT_EQ(HELLO, reader.read().value_or(""));

    server->stop();
    server.reset();
    // The reading client is told the server went away: its read ends.
    EXPECT_FALSE(reader.read(5s));
    boost::asio::io_context context;
    boost::asio::ip::tcp::socket socket(context);
    boost::system::error_code error;
    socket.connect({boost::asio::ip::make_address("127.0.0.1"), port}, error);
    EXPECT_TRUE(error) << "the page's port still takes connections";
}

TEST(ViewServer, SaysWhichPortItCannotHave) {
    ServerSettings first = settings();
    ViewServer holder(first, testFiles(), HELLO);
    ServerSettings same = settings();
    same.port = holder.port();
    try {
        ViewServer second(same, testFiles(), HELLO);
        FAIL() << "two servers on one port";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string::npos,
                  std::string(error.what()).find("127.0.0.1:" + std::to_string(holder.port())));
    }
}

} // namespace
