// Logging in and out. A password is checked against the admin hash first,
// then the viewer hash; it never reaches a log line, and neither does a token.
#include "web/routes/SessionRoutes.h"

#include <nlohmann/json.hpp>

#include "web/PasswordHash.h"
#include "web/WebErrors.h"

namespace kestrane::web {

namespace {

using nlohmann::json;

std::string SessionCookie(const std::string& value, long maxAgeS, bool secure) {
    return std::string(Router::kSessionCookie) + "=" + value +
           "; HttpOnly; SameSite=Strict; Path=/; Max-Age=" + std::to_string(maxAgeS) +
           (secure ? "; Secure" : "");
}

Role CheckPassword(const std::string& password, const AccessSettings& settings) {
    if (!settings.adminPasswordHash.empty() && VerifyPassword(password, settings.adminPasswordHash))
        return Role::kAdmin;
    if (!settings.viewerPasswordHash.empty() &&
        VerifyPassword(password, settings.viewerPasswordHash))
        return Role::kViewer;
    return Role::kNone;
}

HttpResponse Login(const RouteContext& context, Router& router, LoginThrottle& throttle) {
    const HttpRequest& request = context.request;
    if (throttle.Blocked(request.peer)) return MakeError(WebError::kTooManyRequests);
    const json body = json::parse(request.body, nullptr, false);
    if (!body.is_object() || !body.contains("password") || !body["password"].is_string())
        return MakeError(WebError::kBadRequest, "expected {\"password\": \"...\"}");
    const Role role = CheckPassword(body["password"].get<std::string>(), router.Settings());
    if (role == Role::kNone) {
        throttle.Failed(request.peer);
        return MakeError(WebError::kUnauthorized, "wrong password");
    }
    // A login replaces the session the browser had, so an old token never lingers.
    if (context.session) router.SessionStore().Drop(context.session->token);
    const Session session = router.SessionStore().Create(role);
    HttpResponse response =
        HttpResponse::Json(200, json{{"role", RoleName(role)}, {"csrf", session.csrf}}.dump());
    response.headers.emplace_back(
        "Set-Cookie", SessionCookie(session.token, static_cast<long>(Sessions::kLifetime.count()),
                                    request.secure));
    return response;
}

HttpResponse Logout(const RouteContext& context, Router& router) {
    if (context.session) router.SessionStore().Drop(context.session->token);
    HttpResponse response = HttpResponse::Json(200, json{{"role", "none"}}.dump());
    response.headers.emplace_back("Set-Cookie", SessionCookie("", 0, context.request.secure));
    return response;
}

HttpResponse Describe(const RouteContext& context, const Router& router) {
    json body = {{"role", RoleName(context.role)},
                 {"read_access", router.Settings().readOpen ? "open" : "password"},
                 {"csrf", nullptr}};
    if (context.session) body["csrf"] = context.session->csrf;
    return HttpResponse::Json(200, body.dump());
}

}  // namespace

void RegisterSessionRoutes(Router& router, LoginThrottle& throttle) {
    router.Add(
        "POST", "/api/v1/login", Access::kAnyone,
        [&router, &throttle](const RouteContext& c) { return Login(c, router, throttle); },
        Csrf::kExempt);
    router.Add("POST", "/api/v1/logout", Access::kAnyone,
               [&router](const RouteContext& c) { return Logout(c, router); });
    router.Add("GET", "/api/v1/session", Access::kAnyone,
               [&router](const RouteContext& c) { return Describe(c, router); });
}

}  // namespace kestrane::web
