// The bridge's web page server: the HTTP server, the route table with every
// resource's routes, the sessions, the page's files and the live-event hub,
// built from [web] and the sources the bridge hands it.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "bridge/BridgeConfig.h"
#include "bridge/DeviceBoard.h"
#include "web/AssetTable.h"
#include "web/EventHub.h"
#include "web/HttpServer.h"
#include "web/LoginThrottle.h"
#include "web/MonotonicClock.h"
#include "web/Router.h"
#include "web/Sessions.h"
#include "web/WebSources.h"

namespace kestrane::bridge {

class BridgeWeb {
public:
    // `sources` (its board, commands, history and status) must outlive the
    // server; the page's files and the hub are the server's own.
    BridgeWeb(const WebConfig& config, web::WebSources sources);
    ~BridgeWeb();

    // Reads the TLS files and opens the port; false with the reason.
    bool Start(std::string* error);
    // Ends the live streams and joins the server's threads.
    void Stop();
    // "http://0.0.0.0:8080" with the port really bound.
    std::string Address() const;
    // The server's housekeeping thread's sign of life; only after Start.
    const Heartbeat& ThreadBeat() const { return server_->HousekeeperBeat(); }

    // For the device board's listener: a controller's state (and its
    // availability when it changed) to every live page, and the bridge's
    // status now and then. Called on the bus threads; only queues.
    void Feed(const DeviceSnapshot& device, bool availabilityChanged);

private:
    static constexpr std::chrono::seconds kBridgeEventEvery{5};

    void RegisterRoutes();

    WebConfig config_;
    web::WebSources sources_;
    web::AssetTable assets_;
    web::EventHub events_;
    web::SteadyClock clock_;
    web::Sessions sessions_{clock_};
    web::LoginThrottle throttle_{clock_};
    web::Router router_;
    std::unique_ptr<web::HttpServer> server_;
    std::atomic<int64_t> lastBridgeEvent_{0};  // steady nanoseconds
};

}  // namespace kestrane::bridge
