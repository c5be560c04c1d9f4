#pragma once

// What the server answers a plain HTTP request, decided without a socket: GET of a
// file in the table gets the file, any other path 404, any other method 405 (with
// "Allow: GET"); the page itself gets a 503 page that says why when the view
// already has all the browsers it shows. Every answer keeps the page to this
// server (Content-Security-Policy) and out of caches.

#include "web_files.h"

#include <boost/beast/http.hpp>
#include <cstddef>

namespace sensorview {

using Request = boost::beast::http::request<boost::beast::http::string_body>;
using Response = boost::beast::http::response<boost::beast::http::string_body>;

// full: no browser can join the live view now; maxClients: how many it shows.
Response answerRequest(const Request& request, const WebFiles& files, bool full,
                       std::size_t maxClients);

// 503 with a page that says the view already shows maxClients browsers.
Response refusal(const Request& request, std::size_t maxClients);

// A short plain-text answer with the status's reason.
Response plainAnswer(const Request& request, boost::beast::http::status status,
                     const std::string& text);

// Whether a WebSocket request comes from this server's own page: no Origin
// header (not a browser page), or an Origin of http:// and the request's Host.
// Another site's page must not read the live data.
bool fromOwnPage(const Request& request);

} // namespace sensorview
