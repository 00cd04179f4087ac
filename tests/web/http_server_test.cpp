// The HTTP adapter against a real socket: the headers every answer carries,
// and the limits against hostile clients (oversized and compressed bodies,
// a huge header line, too many connections from one address, a request
// dribbled in one byte at a time). Each hostile case also checks that an
// ordinary client is still answered.
#include "web/HttpServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>

#include "TestHttpClient.h"

namespace kestrane::web {
namespace {

using namespace testing;

HttpResponse Answer(const HttpRequest& request) {
    if (request.path == "/echo") {
        HttpResponse response = HttpResponse::Json(
            200, nlohmann::json{{"bytes", request.body.size()},
                                {"q", request.query.count("q") ? request.query.at("q") : ""},
                                {"peer", request.peer},
                                {"agent", request.Header("user-agent")}}
                     .dump());
        return response;
    }
    HttpResponse response;
    response.contentType = "text/plain";
    response.body = "hello";
    return response;
}

class HttpServerTest : public ::testing::Test {
protected:
    void Start(WebServerOptions options = {}) {
        options.listen = "127.0.0.1:0";
        server_ = std::make_unique<HttpServer>(options, &Answer);
        std::string error;
        ASSERT_TRUE(server_->Start(&error)) << error;
        port_ = server_->Port();
        ASSERT_NE(port_, 0);
    }
    // An ordinary client from another loopback address is still answered.
    void ExpectOthersServed() {
        TestConnection other(port_, "127.0.0.2");
        ASSERT_TRUE(other.Connected());
        ASSERT_TRUE(other.Send("GET /hello HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"));
        const auto response = other.ReadResponse();
        ASSERT_TRUE(response);
        EXPECT_EQ(response->status, 200);
    }
    std::unique_ptr<HttpServer> server_;
    uint16_t port_ = 0;
};

void ExpectSecurityHeaders(const RawResponse& response) {
    EXPECT_EQ(response.Header("content-security-policy"),
              "default-src 'self'; frame-ancestors 'none'");
    EXPECT_EQ(response.Header("x-content-type-options"), "nosniff");
    EXPECT_EQ(response.Header("referrer-policy"), "same-origin");
}

void ExpectError(const RawResponse& response, int status, const std::string& code) {
    EXPECT_EQ(response.status, status);
    const auto body = nlohmann::json::parse(response.body, nullptr, false);
    ASSERT_TRUE(body.is_object()) << response.body;
    EXPECT_EQ(body["error"]["code"], code);
    EXPECT_TRUE(body["error"]["message"].is_string());
    EXPECT_EQ(body.size(), 1u);
}

TEST_F(HttpServerTest, EveryAnswerCarriesTheSecurityHeadersAndApiAnswersAreNotCached) {
    Start();
    const auto page = Request(port_, "GET", "/hello");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->body, "hello");
    ExpectSecurityHeaders(*page);
    EXPECT_EQ(page->Header("cache-control"), "");

    const auto api = Request(port_, "GET", "/api/v1/anything");
    ASSERT_TRUE(api);
    ExpectSecurityHeaders(*api);
    EXPECT_EQ(api->Header("cache-control"), "no-store");

    const auto refused = Request(port_, "POST", "/api/v1/x", {"Content-Encoding: gzip"}, "x");
    ASSERT_TRUE(refused);
    ExpectSecurityHeaders(*refused);
    EXPECT_EQ(refused->Header("cache-control"), "no-store");
}

TEST_F(HttpServerTest, RequestValuesAreDecoded) {
    Start();
    const auto response =
        Request(port_, "POST", "/echo?q=a%20b%26c", {"User-Agent: Probe/1"}, "12345");
    ASSERT_TRUE(response);
    const auto body = nlohmann::json::parse(response->body);
    EXPECT_EQ(body["bytes"], 5);
    EXPECT_EQ(body["q"], "a b&c");
    EXPECT_EQ(body["peer"], "127.0.0.1");
    EXPECT_EQ(body["agent"], "Probe/1");
}

TEST_F(HttpServerTest, BodiesOverTheLimitAreRefusedDeclaredOrChunked) {
    Start();
    const auto atLimit = Request(port_, "POST", "/echo", {}, std::string(64 * 1024, 'a'));
    ASSERT_TRUE(atLimit);
    EXPECT_EQ(nlohmann::json::parse(atLimit->body)["bytes"], 64 * 1024);

    const auto declared = Request(port_, "POST", "/echo", {}, std::string(64 * 1024 + 1, 'a'));
    ASSERT_TRUE(declared);
    ExpectError(*declared, 413, "payload_too_large");

    // A megabyte in 4 KiB chunks: refused with 413 or cut off, never taken in whole.
    TestConnection chunked(port_);
    ASSERT_TRUE(
        chunked.Send("POST /echo HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"));
    const std::string chunk = "1000\r\n" + std::string(4096, 'b') + "\r\n";
    bool sentAll = true;
    for (int i = 0; i < 256 && sentAll; ++i)
        sentAll = chunked.Send(chunk);
    if (sentAll) sentAll = chunked.Send("0\r\n\r\n");
    if (const auto response = chunked.ReadResponse(3000ms)) {
        EXPECT_EQ(response->status, 413);
    } else {
        EXPECT_TRUE(chunked.WaitClosed(3000ms));
    }
    ExpectOthersServed();
}

TEST_F(HttpServerTest, CompressedBodiesAreRefused) {
    Start();
    for (const char* encoding : {"gzip", "deflate", "br", "identity, gzip"}) {
        const auto response =
            Request(port_, "POST", "/echo", {std::string("Content-Encoding: ") + encoding}, "xyz");
        ASSERT_TRUE(response) << encoding;
        ExpectError(*response, 415, "unsupported_encoding");
    }
    const auto identity = Request(port_, "POST", "/echo", {"Content-Encoding: identity"}, "xyz");
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->status, 200);
}

TEST_F(HttpServerTest, AHugeHeaderLineIsRefusedAndOthersAreServed) {
    Start();
    TestConnection hostile(port_);
    const std::string line = "X-Filler: " + std::string(200 * 1024, 'h') + "\r\n";
    // The server may stop reading (and close) before all of it is sent.
    hostile.Send("GET /hello HTTP/1.1\r\nHost: x\r\n" + line + "\r\n");
    if (const auto response = hostile.ReadResponse(3000ms)) {
        EXPECT_GE(response->status, 400);
    } else {
        EXPECT_TRUE(hostile.WaitClosed(3000ms));
    }
    ExpectOthersServed();
}

TEST_F(HttpServerTest, ConnectionsBeyondThePerAddressLimitAreRefused) {
    WebServerOptions options;
    options.maxPerAddress = 16;
    Start(options);
    std::vector<std::unique_ptr<TestConnection>> idle;
    for (int i = 0; i < 100; ++i)
        idle.push_back(std::make_unique<TestConnection>(port_));
    // The ones past the limit are accepted and closed at once; the others stay.
    int closed = 0;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (closed < 100 - 16 && std::chrono::steady_clock::now() < deadline) {
        closed = 0;
        for (auto& connection : idle)
            if (!connection->Connected() || connection->WaitClosed(1ms)) ++closed;
    }
    EXPECT_EQ(closed, 100 - 16);
    EXPECT_LE(server_->OpenConnections(), 16u);
    ExpectOthersServed();
}

TEST_F(HttpServerTest, ARequestDribbledInIsCutOff) {
    WebServerOptions options;
    options.connectionTimeout = std::chrono::seconds(1);
    Start(options);
    TestConnection slow(port_);
    const std::string request = "GET /hello HTTP/1.1\r\nHost: x\r\n\r\n";
    const auto started = std::chrono::steady_clock::now();
    bool cutOff = false;
    // One byte, then up to a second for the server to close, and again.
    for (size_t i = 0; i < request.size() && !cutOff; ++i)
        cutOff = !slow.Send(request.substr(i, 1)) || slow.WaitClosed(1000ms);
    EXPECT_TRUE(cutOff);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(slow.Received().find("200"), std::string::npos);
    ExpectOthersServed();
}

TEST(HttpServerStart, ListenAddressesAndTheirErrors) {
    for (const char* bad : {"nonsense", "127.0.0.1:99999", "[::1:80", "127.0.0.1:"}) {
        WebServerOptions options;
        options.listen = bad;
        HttpServer server(options, &Answer);
        std::string error;
        EXPECT_FALSE(server.Start(&error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    WebServerOptions halfTls;
    halfTls.tlsCertificate = "-----BEGIN CERTIFICATE-----\n";
    HttpServer tls(halfTls, &Answer);
    std::string error;
    EXPECT_FALSE(tls.Start(&error));

    // Stop before and twice after a start does no harm.
    HttpServer twice(WebServerOptions{}, &Answer);
    twice.Stop();
    ASSERT_TRUE(twice.Start(&error)) << error;
    EXPECT_NE(twice.Port(), 0);
    twice.Stop();
    twice.Stop();
}

}  // namespace
}  // namespace kestrane::web
