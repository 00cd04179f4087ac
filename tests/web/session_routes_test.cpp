// Roles, sessions and the checks before every handler, through the real
// server: login and its cookie, 401/403, CSRF, 404/405, the login throttle
// and session expiry on a stepped monotonic clock.
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>

#include "SteppedClock.h"
#include "TestHttpClient.h"
#include "web/HttpServer.h"
#include "web/LoginThrottle.h"
#include "web/PasswordHash.h"
#include "web/Router.h"
#include "web/Sessions.h"
#include "web/routes/SessionRoutes.h"

namespace kestrane::web {
namespace {

using namespace testing;
using nlohmann::json;

// Cheap hashes keep the tests fast; the cost is read from the hash itself.
constexpr HashCost kTestCost{1, 64, 1};

struct Login {
    std::string cookie;  // "kestrane_session=<token>"
    std::string csrf;
};

class SessionRoutesTest : public ::testing::Test {
protected:
    void Start(bool readOpen) {
        AccessSettings access;
        access.readOpen = readOpen;
        access.adminPasswordHash = *HashPassword("admin-secret", kTestCost);
        access.viewerPasswordHash = *HashPassword("viewer-secret", kTestCost);
        router_ = std::make_unique<Router>(sessions_, access);
        RegisterSessionRoutes(*router_, throttle_);
        router_->Add("GET", "/api/v1/devices/{id}", Access::kViewer, [](const RouteContext& c) {
            return HttpResponse::Json(200, json{{"id", c.params.at("id")}}.dump());
        });
        router_->Add("POST", "/api/v1/devices/{id}/settings", Access::kAdmin,
                     [](const RouteContext&) { return HttpResponse::Json(200, "{}"); });
        WebServerOptions options;
        server_ = std::make_unique<HttpServer>(
            options, [this](const HttpRequest& r) { return router_->Handle(r); });
        std::string error;
        ASSERT_TRUE(server_->Start(&error)) << error;
        port_ = server_->Port();
    }
    std::optional<RawResponse> Post(const std::string& path, const std::string& body,
                                    std::vector<std::string> headers = {}) {
        return Request(port_, "POST", path, headers, body);
    }
    Login LogIn(const std::string& password) {
        const auto response = Post("/api/v1/login", json{{"password", password}}.dump());
        EXPECT_TRUE(response && response->status == 200);
        if (!response || response->setCookies.empty()) return {};
        const std::string& cookie = response->setCookies.front();
        return {cookie.substr(0, cookie.find(';')), json::parse(response->body)["csrf"]};
    }
    int Status(const std::optional<RawResponse>& response) {
        return response ? response->status : 0;
    }
    std::string Code(const std::optional<RawResponse>& response) {
        const json body = json::parse(response ? response->body : "", nullptr, false);
        return body.is_object() ? body["error"].value("code", "") : "";
    }

    SteppedClock clock_;
    Sessions sessions_{clock_};
    LoginThrottle throttle_{clock_};
    std::unique_ptr<Router> router_;
    std::unique_ptr<HttpServer> server_;
    uint16_t port_ = 0;
};

TEST_F(SessionRoutesTest, LoginSetsAStrictCookieAndTheSessionDescribesIt) {
    Start(true);
    const auto anonymous = Request(port_, "GET", "/api/v1/session");
    ASSERT_TRUE(anonymous);
    EXPECT_EQ(json::parse(anonymous->body),
              (json{{"role", "none"}, {"read_access", "open"}, {"csrf", nullptr}}));

    const auto response = Post("/api/v1/login", R"({"password": "admin-secret"})");
    ASSERT_EQ(Status(response), 200);
    const json body = json::parse(response->body);
    EXPECT_EQ(body["role"], "admin");
    EXPECT_EQ(body["csrf"].get<std::string>().size(), 64u);
    ASSERT_EQ(response->setCookies.size(), 1u);
    const std::string& cookie = response->setCookies[0];
    EXPECT_EQ(cookie.find("kestrane_session="), 0u);
    EXPECT_EQ(cookie.substr(17, cookie.find(';') - 17).size(), 64u);  // 256 bits in hex
    for (const char* attribute :
         {"; HttpOnly", "; SameSite=Strict", "; Path=/", "; Max-Age=604800"})
        EXPECT_NE(cookie.find(attribute), std::string::npos) << attribute;
    EXPECT_EQ(cookie.find("Secure"), std::string::npos);  // plain HTTP here

    const std::string token = cookie.substr(0, cookie.find(';'));
    const auto described = Request(port_, "GET", "/api/v1/session", {"Cookie: " + token});
    ASSERT_TRUE(described);
    EXPECT_EQ(json::parse(described->body),
              (json{{"role", "admin"}, {"read_access", "open"}, {"csrf", body["csrf"]}}));

    const Login viewer = LogIn("viewer-secret");
    const auto viewerSession =
        Request(port_, "GET", "/api/v1/session", {"Cookie: " + viewer.cookie});
    EXPECT_EQ(json::parse(viewerSession->body)["role"], "viewer");
}

TEST_F(SessionRoutesTest, RolesAndCsrfGuardEveryRoute) {
    Start(true);
    const std::string settings = "/api/v1/devices/7/settings";
    // Open reading: anyone may view; writing needs an admin session.
    EXPECT_EQ(Status(Request(port_, "GET", "/api/v1/devices/7")), 200);
    EXPECT_EQ(Code(Post(settings, "{}")), "unauthorized");

    const Login viewer = LogIn("viewer-secret");
    const auto viewerWrite =
        Post(settings, "{}", {"Cookie: " + viewer.cookie, "X-Kestrane-CSRF: " + viewer.csrf});
    EXPECT_EQ(Status(viewerWrite), 403);
    EXPECT_EQ(Code(viewerWrite), "forbidden");

    const Login admin = LogIn("admin-secret");
    EXPECT_EQ(
        Status(Post(settings, "{}", {"Cookie: " + admin.cookie, "X-Kestrane-CSRF: " + admin.csrf})),
        200);
    const auto missing = Post(settings, "{}", {"Cookie: " + admin.cookie});
    EXPECT_EQ(Status(missing), 403);
    EXPECT_EQ(Code(missing), "csrf");
    // Another session's value is as wrong as a made-up one.
    for (const std::string& wrong : {viewer.csrf, std::string(64, '0'), std::string("x")})
        EXPECT_EQ(
            Code(Post(settings, "{}", {"Cookie: " + admin.cookie, "X-Kestrane-CSRF: " + wrong})),
            "csrf");

    // Logging out needs the CSRF value too, and ends the session.
    EXPECT_EQ(Code(Post("/api/v1/logout", "", {"Cookie: " + admin.cookie})), "csrf");
    const auto out =
        Post("/api/v1/logout", "", {"Cookie: " + admin.cookie, "X-Kestrane-CSRF: " + admin.csrf});
    ASSERT_EQ(Status(out), 200);
    EXPECT_NE(out->setCookies.at(0).find("Max-Age=0"), std::string::npos);
    EXPECT_EQ(
        Code(Post(settings, "{}", {"Cookie: " + admin.cookie, "X-Kestrane-CSRF: " + admin.csrf})),
        "unauthorized");
}

TEST_F(SessionRoutesTest, PasswordReadingNeedsASessionToView) {
    Start(false);
    EXPECT_EQ(Code(Request(port_, "GET", "/api/v1/devices/7")), "unauthorized");
    const Login viewer = LogIn("viewer-secret");
    const auto seen = Request(port_, "GET", "/api/v1/devices/7", {"Cookie: " + viewer.cookie});
    EXPECT_EQ(Status(seen), 200);
    EXPECT_EQ(json::parse(seen->body)["id"], "7");
    EXPECT_EQ(json::parse(Request(port_, "GET", "/api/v1/session")->body)["read_access"],
              "password");
    EXPECT_EQ(Code(Request(port_, "GET", "/api/v1/devices/7",
                           {"Cookie: kestrane_session=" + std::string(64, 'a')})),
              "unauthorized");
}

TEST_F(SessionRoutesTest, UnknownPathsAndWrongMethodsAndBadBodies) {
    Start(true);
    const auto unknown = Request(port_, "GET", "/api/v1/nothing");
    EXPECT_EQ(Status(unknown), 404);
    EXPECT_EQ(Code(unknown), "not_found");
    EXPECT_EQ(Code(Request(port_, "GET", "/api/v1/devices/7/extra")), "not_found");
    const auto wrongMethod = Request(port_, "DELETE", "/api/v1/session");
    EXPECT_EQ(Status(wrongMethod), 405);
    EXPECT_EQ(Code(wrongMethod), "method_not_allowed");
    EXPECT_EQ(wrongMethod->Header("allow"), "GET");
    for (const char* body : {"", "not json", "[]", R"({"password": 5})", R"({"pass": "x"})"})
        EXPECT_EQ(Code(Post("/api/v1/login", body)), "bad_request") << body;
}

TEST_F(SessionRoutesTest, FiveWrongPasswordsBlockTheAddressForAMinute) {
    Start(true);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Code(Post("/api/v1/login", R"({"password": "guess"})")), "unauthorized");
    // Now even the right password is refused from this address.
    const auto blocked = Post("/api/v1/login", R"({"password": "admin-secret"})");
    EXPECT_EQ(Status(blocked), 429);
    EXPECT_EQ(Code(blocked), "too_many_requests");
    clock_.Step(std::chrono::seconds(59));
    EXPECT_EQ(Status(Post("/api/v1/login", R"({"password": "admin-secret"})")), 429);
    clock_.Step(std::chrono::seconds(2));
    EXPECT_EQ(Status(Post("/api/v1/login", R"({"password": "admin-secret"})")), 200);
}

TEST_F(SessionRoutesTest, FailuresSpreadOverMoreThanAMinuteDoNotBlock) {
    Start(true);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(Code(Post("/api/v1/login", R"({"password": "guess"})")), "unauthorized");
        clock_.Step(std::chrono::seconds(16));
    }
}

TEST_F(SessionRoutesTest, SessionsEndAfterSevenDays) {
    Start(false);
    const Login viewer = LogIn("viewer-secret");
    clock_.Step(Sessions::kLifetime - std::chrono::seconds(1));
    EXPECT_EQ(Status(Request(port_, "GET", "/api/v1/devices/1", {"Cookie: " + viewer.cookie})),
              200);
    clock_.Step(std::chrono::seconds(1));
    EXPECT_EQ(Status(Request(port_, "GET", "/api/v1/devices/1", {"Cookie: " + viewer.cookie})),
              401);
    EXPECT_EQ(sessions_.Count(), 0u);
}

}  // namespace
}  // namespace kestrane::web
