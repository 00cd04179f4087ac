// The plain request and response values that pass between the HTTP adapter
// (HttpServer) and everything above it. Nothing here knows the HTTP library.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kestrane::web {

class EventStream;

struct HttpRequest {
    std::string method;                          // "GET", "POST", ...
    std::string path;                            // decoded, without the query
    std::map<std::string, std::string> query;    // decoded query parameters
    std::map<std::string, std::string> headers;  // names lower-cased
    std::map<std::string, std::string> cookies;
    std::string body;     // at most the server's body limit
    std::string peer;     // the client's address, "127.0.0.1" or "::1"
    bool secure = false;  // came in over TLS

    // The header's value, or "" when the request has none.
    const std::string& Header(const std::string& lowerName) const {
        static const std::string kNone;
        const auto it = headers.find(lowerName);
        return it == headers.end() ? kNone : it->second;
    }
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // added to the server's own
    // When set, the answer is a text/event-stream that sends whatever the
    // application queues on this stream until one side closes it; body is unused.
    std::shared_ptr<EventStream> stream;

    static HttpResponse Json(int status, std::string text) {
        HttpResponse response;
        response.status = status;
        response.body = std::move(text);
        return response;
    }
    static HttpResponse Stream(std::shared_ptr<EventStream> events) {
        HttpResponse response;
        response.contentType = "text/event-stream";
        response.stream = std::move(events);
        return response;
    }
};

}  // namespace kestrane::web
