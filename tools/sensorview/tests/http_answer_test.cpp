// What the server answers plain HTTP requests: the known files to GET, 404 for any
// other path however it is spelt, 405 for any other method, and the refusal page
// when the view is full.

#include "tools/sensorview/http_answer.h"

#include <gtest/gtest.h>

namespace {

namespace http = boost::beast::http;
using sensorview::answerRequest;
using sensorview::Request;
using sensorview::WebFile;
using sensorview::WebFiles;

WebFiles files() {
    return WebFiles(
        {{"/", "index.html", "text/html; charset=utf-8", "<html>page</html>"},
         {"/sensorview.js", "sensorview.js", "text/javascript; charset=utf-8", "'use strict';"}});
}

Request request(http::verb method, const std::string& target) {
    Request made(method, target, 11);
    made.set(http::field::host, "127.0.0.1:8080");
    return made;
}

TEST(HttpAnswer, KnownFilesAreServedWithTheirTypeAndTheSitePolicy) {
    const auto table = files();
    const auto page = answerRequest(request(http::verb::get, "/"), table, false, 4);
    EXPECT_EQ(http::status::ok, page.result());
    EXPECT_EQ("<html>page</html>", page.body());
    EXPECT_EQ("text/html; charset=utf-8", page[http::field::content_type]);
    // The page may load nothing from elsewhere.
    EXPECT_NE(std::string::npos,
              std::string(page["Content-Security-Policy"]).find("default-src 'self'"));
    EXPECT_EQ("nosniff", page["X-Content-Type-Options"]);

    const auto script =
        answerRequest(request(http::verb::get, "/sensorview.js?v=3"), table, false, 4);
    EXPECT_EQ(http::status::ok, script.result());
    EXPECT_EQ("'use strict';", script.body());
    EXPECT_TRUE(script.keep_alive());
}

class UnknownPath : public ::testing::TestWithParam<std::string> {};

TEST_P(UnknownPath, IsNotFound) {
    const auto answer = answerRequest(request(http::verb::get, GetParam()), files(), false, 4);
    EXPECT_EQ(http::status::not_found, answer.result());
    EXPECT_EQ(std::string::npos, answer.body().find("page"));
    EXPECT_EQ(std::string::npos, answer.body().find("use strict"));
}

INSTANTIATE_TEST_SUITE_P(PathsAndTraversals, UnknownPath,
                         ::testing::Values<std::string>(
                             "/index.html", "/missing", "/../../../etc/passwd",
                             "/..%2f..%2fetc%2fpasswd", "/%2e%2e/%2e%2e/etc/passwd",
                             "/sensorview.js/", "//sensorview.js", "/./sensorview.js",
                             "/SENSORVIEW.JS", "/sensorview.js%00.png",
                             "/share/sensorview/index.html", "/live", "*", "",
                             "http://127.0.0.1:8080/etc/passwd", "/..\\..\\windows\\win.ini"));

class OtherMethod : public ::testing::TestWithParam<http::verb> {};

TEST_P(OtherMethod, IsNotAllowedEvenForAKnownFile) {
    for (const char* target : {"/", "/sensorview.js", "/nothing"}) {
        const auto answer = answerRequest(request(GetParam(), target), files(), false, 4);
        EXPECT_EQ(http::status::method_not_allowed, answer.result()) << target;
        EXPECT_EQ("GET", answer[http::field::allow]);
        EXPECT_FALSE(answer.keep_alive());
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, OtherMethod,
                         ::testing::Values(http::verb::post, http::verb::put, http::verb::delete_,
                                           http::verb::head, http::verb::options, http::verb::patch,
                                           http::verb::trace, http::verb::connect));

TEST(HttpAnswer, FullViewRefusesThePageWithAClearTextButServesItsFiles) {
    const auto table = files();
    const auto page = answerRequest(request(http::verb::get, "/"), table, true, 3);
    EXPECT_EQ(http::status::service_unavailable, page.result());
    EXPECT_NE(std::string::npos, page.body().find("already shows its live view to 3 browsers"));
    EXPECT_NE(std::string::npos, page.body().find("--max-clients"));
    EXPECT_EQ("text/html; charset=utf-8", page[http::field::content_type]);
    EXPECT_FALSE(page.keep_alive());
    EXPECT_EQ(http::status::ok,
              answerRequest(request(http::verb::get, "/sensorview.js"), table, true, 3).result());
}

TEST(HttpAnswer, LiveDataOnlyForThisServersOwnPage) {
    auto ownPage = request(http::verb::get, "/live");
    ownPage.set(http::field::origin, "http://127.0.0.1:8080");
    EXPECT_TRUE(sensorview::fromOwnPage(ownPage));
    // Not from a browser page at all (a test client, a command-line tool).
    EXPECT_TRUE(sensorview::fromOwnPage(request(http::verb::get, "/live")));

    for (const char* origin : {"http://evil.example", "http://127.0.0.1:8081", "null",
                               "https://127.0.0.1:8080", "http://127.0.0.1:8080.evil.example"}) {
        auto foreign = request(http::verb::get, "/live");
        foreign.set(http::field::origin, origin);
        EXPECT_FALSE(sensorview::fromOwnPage(foreign)) << origin;
    }
    Request noHost(http::verb::get, "/live", 11);
    noHost.set(http::field::origin, "http://127.0.0.1:8080");
    EXPECT_FALSE(sensorview::fromOwnPage(noHost));
}

TEST(WebFiles, ReadsEveryFileOfTheTableOrSaysWhichIsMissing) {
    try {
        sensorview::WebFiles missing("/nonexistent-folder");
        FAIL() << "a missing folder was read";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string::npos,
                  std::string(error.what()).find("/nonexistent-folder/index.html"));
    }
}

} // namespace
