// The API's route table and the one step that runs before every handler.
// Each route names its method, its path pattern ("/api/v1/devices/{id}"),
// the access it needs and its handler; route files add theirs through a
// Register<Resource>Routes(Router&, ...) function. Before a handler runs the
// router has found the caller's role from the session cookie and refused:
// 404 for an unknown path, 405 for a known path with another method, 401
// without the session the route needs, 403 for a viewer on an admin route,
// and 403 for a POST whose X-Kestrane-CSRF header is not the session's.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "web/HttpMessage.h"
#include "web/Role.h"
#include "web/Sessions.h"

namespace kestrane::web {

enum class Access {
    kAnyone,  // no session needed
    kViewer,  // anyone when read_access is open, else a viewer or admin session
    kAdmin,   // an admin session
};

enum class Csrf { kChecked, kExempt };  // only the login is exempt: it has no session yet

struct RouteContext {
    const HttpRequest& request;
    std::map<std::string, std::string> params;  // the {name} segments of the pattern
    std::optional<Session> session;             // the caller's, when the cookie names one
    Role role = Role::kNone;
};

using RouteHandler = std::function<HttpResponse(const RouteContext&)>;

class Router {
public:
    static constexpr const char* kSessionCookie = "kestrane_session";
    static constexpr const char* kCsrfHeader = "x-kestrane-csrf";

    Router(Sessions& sessions, AccessSettings access)
        : sessions_(sessions), access_(std::move(access)) {}

    void Add(std::string method, std::string pattern, Access access, RouteHandler handler,
             Csrf csrf = Csrf::kChecked);
    HttpResponse Handle(const HttpRequest& request) const;

    const AccessSettings& Settings() const { return access_; }
    Sessions& SessionStore() const { return sessions_; }

private:
    struct Route {
        std::string method;
        std::vector<std::string> segments;  // "{id}" matches any one non-empty segment
        Access access;
        Csrf csrf;
        RouteHandler handler;
    };
    static bool Match(const Route& route, const std::vector<std::string>& path,
                      std::map<std::string, std::string>* params);
    std::optional<HttpResponse> Refuse(const Route& route, const RouteContext& context) const;

    Sessions& sessions_;
    AccessSettings access_;
    std::vector<Route> routes_;
};

}  // namespace kestrane::web
