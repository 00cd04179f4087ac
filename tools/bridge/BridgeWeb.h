// The bridge's web page server: the HTTP server, the route table with the
// session routes, the sessions and the live-event hub, built from [web].
// Further route files register in RegisterRoutes (BridgeWeb.cpp).
#pragma once

#include <memory>
#include <string>

#include "bridge/BridgeConfig.h"
#include "web/EventHub.h"
#include "web/HttpServer.h"
#include "web/LoginThrottle.h"
#include "web/MonotonicClock.h"
#include "web/Router.h"
#include "web/Sessions.h"

namespace kestrane::bridge {

class BridgeWeb {
public:
    explicit BridgeWeb(const WebConfig& config);
    ~BridgeWeb();

    // Reads the TLS files and opens the port; false with the reason.
    bool Start(std::string* error);
    // Ends the live streams and joins the server's threads.
    void Stop();
    // "http://0.0.0.0:8080" with the port really bound.
    std::string Address() const;
    // The hub the bridge's update fan-out feeds.
    web::EventHub& Events() { return events_; }

private:
    void RegisterRoutes();

    WebConfig config_;
    web::SteadyClock clock_;
    web::Sessions sessions_{clock_};
    web::LoginThrottle throttle_{clock_};
    web::EventHub events_;
    web::Router router_;
    std::unique_ptr<web::HttpServer> server_;
};

}  // namespace kestrane::bridge
