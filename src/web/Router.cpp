#include "web/Router.h"

#include "web/Secrets.h"
#include "web/WebErrors.h"

namespace kestrane::web {

namespace {

std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = path.find('/', start);
        const std::string segment =
            path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!segment.empty()) segments.push_back(segment);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return segments;
}

bool IsParameter(const std::string& segment) {
    return segment.size() > 2 && segment.front() == '{' && segment.back() == '}';
}

}  // namespace

void Router::Add(std::string method, std::string pattern, Access access, RouteHandler handler,
                 Csrf csrf) {
    routes_.push_back(Route{std::move(method), Split(pattern), access, csrf, std::move(handler)});
}

bool Router::Match(const Route& route, const std::vector<std::string>& path,
                   std::map<std::string, std::string>* params) {
    if (route.segments.size() != path.size()) return false;
    std::map<std::string, std::string> found;
    for (size_t i = 0; i < path.size(); ++i) {
        const std::string& want = route.segments[i];
        if (IsParameter(want))
            found[want.substr(1, want.size() - 2)] = path[i];
        else if (want != path[i])
            return false;
    }
    *params = std::move(found);
    return true;
}

std::optional<HttpResponse> Router::Refuse(const Route& route, const RouteContext& context) const {
    switch (route.access) {
        case Access::kAnyone:
            break;
        case Access::kViewer:
            if (!access_.readOpen && context.role == Role::kNone)
                return MakeError(WebError::kUnauthorized);
            break;
        case Access::kAdmin:
            if (context.role == Role::kNone) return MakeError(WebError::kUnauthorized);
            if (context.role != Role::kAdmin) return MakeError(WebError::kForbidden);
            break;
    }
    if (route.method == "POST" && route.csrf == Csrf::kChecked) {
        const std::string& sent = context.request.Header(kCsrfHeader);
        if (!context.session || sent.empty() || !SecretsEqual(sent, context.session->csrf))
            return MakeError(WebError::kCsrf);
    }
    return std::nullopt;
}

HttpResponse Router::Handle(const HttpRequest& request) const {
    const std::vector<std::string> path = Split(request.path);
    std::string allowed;
    for (const Route& route : routes_) {
        std::map<std::string, std::string> params;
        if (!Match(route, path, &params)) continue;
        if (route.method != request.method) {
            allowed += (allowed.empty() ? "" : ", ") + route.method;
            continue;
        }
        RouteContext context{request, std::move(params), std::nullopt, Role::kNone};
        const auto cookie = request.cookies.find(kSessionCookie);
        if (cookie != request.cookies.end()) context.session = sessions_.Find(cookie->second);
        if (context.session) context.role = context.session->role;
        if (auto refusal = Refuse(route, context)) return std::move(*refusal);
        return route.handler(context);
    }
    if (allowed.empty()) return MakeError(WebError::kNotFound);
    HttpResponse response = MakeError(WebError::kMethodNotAllowed);
    response.headers.emplace_back("Allow", allowed);
    return response;
}

}  // namespace kestrane::web
