#include "http_answer.h"

#include <string>

namespace sensorview {

namespace http = boost::beast::http;

namespace {

constexpr const char* SERVER_NAME = "sensorview";
// The page loads its scripts, styles and data from here alone; frames are shown
// through blob: addresses made from the WebSocket's binary messages.
constexpr const char* CONTENT_POLICY =
    "default-src 'self'; img-src 'self' blob:; style-src 'self' 'unsafe-inline'; "
    "connect-src 'self'; object-src 'none'; "
    "base-uri 'none'; frame-ancestors 'none'";

Response answer(const Request& request, http::status status, const std::string& mediaType,
                std::string body) {
    Response response(status, request.version());
    response.set(http::field::server, SERVER_NAME);
    response.set(http::field::content_type, mediaType);
    response.set(http::field::cache_control, "no-store");
    response.set("X-Content-Type-Options", "nosniff");
    response.set("Content-Security-Policy", CONTENT_POLICY);
    response.keep_alive(request.keep_alive() && status == http::status::ok);
    response.body() = std::move(body);
    response.prepare_payload();
    return response;
}

} // namespace

Response plainAnswer(const Request& request, http::status status, const std::string& text) {
    return answer(request, status, "text/plain; charset=utf-8", text + "\n");
}

Response refusal(const Request& request, std::size_t maxClients) {
    const std::string count = std::to_string(maxClients);
    const std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>sensorview: no room</title></head><body>\n"
        "<h1>The live view is full</h1>\n"
        "<p>sensorview already shows its live view to " +
        count + (maxClients == 1 ? " browser" : " browsers") +
        ", as many as it serves at once (its option <code>--max-clients</code>).</p>\n"
        "<p>Close the view in another tab or browser, then reload this page.</p>\n"
        "</body></html>\n";
    Response response =
        answer(request, http::status::service_unavailable, "text/html; charset=utf-8", page);
    response.set(http::field::retry_after, "5");
    return response;
}

Response answerRequest(const Request& request, const WebFiles& files, bool full,
                       std::size_t maxClients) {
    if (request.method() != http::verb::get) {
        Response response = plainAnswer(request, http::status::method_not_allowed,
                                        "Method Not Allowed: only GET is answered here");
        response.set(http::field::allow, "GET");
        return response;
    }
    const WebFile* file = files.find(std::string(request.target()));
    if (file == nullptr)
        return plainAnswer(request, http::status::not_found, "Not Found");
    if (full && file->path == "/")
        return refusal(request, maxClients);
    return answer(request, http::status::ok, file->mediaType, file->content);
}

bool fromOwnPage(const Request& request) {
    const auto origin = request.find(http::field::origin);
    if (origin == request.end())
        return true;
    const auto host = request.find(http::field::host);
    if (host == request.end())
        return false;
    return origin->value() == "http://" + std::string(host->value());
}

} // namespace sensorview
