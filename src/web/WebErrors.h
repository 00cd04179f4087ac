// Every failure the web layer answers has one body shape:
// {"error": {"code": "<code>", "message": "<what happened>"}}
// with the status that belongs to its code. The table in WebErrors.cpp is the
// one place that pairs them.
#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

#include "web/HttpMessage.h"

namespace kestrane::web {

enum class WebError {
    kBadRequest,           // 400 bad_request
    kUnauthorized,         // 401 unauthorized: no session, or a wrong password
    kForbidden,            // 403 forbidden: the session's role is too low
    kCsrf,                 // 403 csrf: X-Kestrane-CSRF missing or wrong
    kNotFound,             // 404 not_found
    kMethodNotAllowed,     // 405 method_not_allowed
    kConflict,             // 409 conflict: no control for that device, or it changed meanwhile
    kPayloadTooLarge,      // 413 payload_too_large
    kUnsupportedEncoding,  // 415 unsupported_encoding
    kTooManyRequests,      // 429 too_many_requests
    kUnprocessable,        // 422 unprocessable: values that fail their checks
    kInternal,             // 500 internal
    kUnavailable,          // 503 unavailable: the server is stopping
};

// The error answer; an empty `message` takes the code's standard text.
HttpResponse MakeError(WebError error, std::string_view message = {});
// The same with more keys beside "error" (an object).
HttpResponse MakeError(WebError error, std::string_view message, nlohmann::json extra);

int ErrorStatus(WebError error);

}  // namespace kestrane::web
