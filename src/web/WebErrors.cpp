#include "web/WebErrors.h"

#include <nlohmann/json.hpp>
#include <string>

namespace kestrane::web {

namespace {

struct ErrorRow {
    WebError error;
    int status;
    const char* code;
    const char* message;
};

constexpr ErrorRow kErrors[] = {
    {WebError::kBadRequest, 400, "bad_request", "the request cannot be understood"},
    {WebError::kUnauthorized, 401, "unauthorized", "log in first"},
    {WebError::kForbidden, 403, "forbidden", "this needs the admin role"},
    {WebError::kCsrf, 403, "csrf", "missing or wrong X-Kestrane-CSRF header"},
    {WebError::kNotFound, 404, "not_found", "no such path"},
    {WebError::kMethodNotAllowed, 405, "method_not_allowed", "this path does not take that method"},
    {WebError::kConflict, 409, "conflict", "the controller's state does not allow this now"},
    {WebError::kPayloadTooLarge, 413, "payload_too_large", "the request body is too large"},
    {WebError::kUnsupportedEncoding, 415, "unsupported_encoding",
     "request bodies must not be compressed"},
    {WebError::kTooManyRequests, 429, "too_many_requests",
     "too many failed logins from this address; wait a minute"},
    {WebError::kUnprocessable, 422, "unprocessable", "the values do not pass their checks"},
    {WebError::kInternal, 500, "internal", "the server failed to answer"},
    {WebError::kUnavailable, 503, "unavailable", "the server is stopping"},
};

const ErrorRow& Row(WebError error) {
    for (const ErrorRow& row : kErrors)
        if (row.error == error) return row;
    return kErrors[std::size(kErrors) - 2];  // kInternal
}

}  // namespace

int ErrorStatus(WebError error) {
    return Row(error).status;
}

HttpResponse MakeError(WebError error, std::string_view message) {
    return MakeError(error, message, nlohmann::json::object());
}

HttpResponse MakeError(WebError error, std::string_view message, nlohmann::json extra) {
    const ErrorRow& row = Row(error);
    nlohmann::json body = std::move(extra);
    body["error"] = {
        {"code", row.code},
        {"message", message.empty() ? std::string(row.message) : std::string(message)}};
    // Replacing invalid UTF-8 keeps a message quoting request bytes from throwing.
    return HttpResponse::Json(row.status,
                              body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

}  // namespace kestrane::web
