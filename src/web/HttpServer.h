// The web server: the one place that knows libmicrohttpd. It listens on one
// address, reads each request into an HttpRequest, hands it to one handler
// and writes the HttpResponse back, with the security headers every answer
// carries. Its limits are fixed at Start: body size (declared or chunked),
// header memory per connection, connections overall and per address, and
// the time a request may take. One internal polling thread serves every
// connection; live streams wait suspended and hold no thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Heartbeat.h"
#include "web/HttpMessage.h"

namespace kestrane::web {

struct WebServerOptions {
    std::string listen = "127.0.0.1:0";  // "host:port", "[::]:8080"; port 0 picks a free one
    // PEM texts (not file names); both set: HTTPS only.
    std::string tlsCertificate;
    std::string tlsKey;
    unsigned maxConnections = 64;
    unsigned maxPerAddress = 16;
    size_t maxBodyBytes = 64 * 1024;
    size_t connectionMemoryBytes = 32 * 1024;  // bounds the request line and headers
    // Idle connections close after this long, and a request must arrive
    // whole within it. Whole seconds, at least 1.
    std::chrono::seconds connectionTimeout{30};
    std::chrono::milliseconds keepAliveInterval{15000};  // ": keep-alive" on live streams
    // Threads that answer requests: a slow answer (a password check, a
    // command waiting for its read-back) holds only its own thread's
    // connections. Live streams hold none while they wait.
    unsigned threads = 4;
    // The library's own complaints (a bad certificate, a client's broken
    // request), one line each; called on the server's thread. Empty: dropped.
    std::function<void(std::string_view)> log;
};

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

class HttpServer {
public:
    HttpServer(WebServerOptions options, HttpHandler handler);
    ~HttpServer();  // stops
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Opens the port and starts serving; false with the reason in `error`.
    bool Start(std::string* error);
    // Ends every live stream, closes every connection and joins every thread.
    // Safe to call more than once.
    void Stop();

    uint16_t Port() const;  // the bound port, also when 0 was asked for
    bool Secure() const;
    // Connections the server holds open now, streams included.
    unsigned OpenConnections() const;
    // The housekeeping thread's sign of life for the service watchdog.
    const Heartbeat& HousekeeperBeat() const;

    class Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace kestrane::web
