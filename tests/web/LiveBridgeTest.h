// The bridge's web API over the real pieces: a simulated bus of two
// controllers (1 with control allowed, 2 without), the bus thread, the
// device board, the command waiter, the router with an admin, and the HTTP
// server on 127.0.0.1. The fixture starts them all and waits until both
// controllers' settings were read.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>

#include "SteppedClock.h"
#include "TestHttpClient.h"
#include "bridge/BridgeBuses.h"
#include "bridge/CommandWaiter.h"
#include "bridge/DeviceBoard.h"
#include "bridge/UpdateFanOut.h"
#include "sim/SimulatorThread.h"
#include "support/FakeClockSync.h"
#include "support/ScratchDir.h"
#include "web/HttpServer.h"
#include "web/LoginThrottle.h"
#include "web/PasswordHash.h"
#include "web/Router.h"
#include "web/Sessions.h"
#include "web/routes/DeviceRoutes.h"
#include "web/routes/SessionRoutes.h"
#include "web/routes/SettingsRoutes.h"

namespace kestrane::web::testing {

using nlohmann::json;

inline constexpr const char* kAllowed = "/api/v1/devices/sn-ks2026a000000042";
inline constexpr const char* kWatched = "/api/v1/devices/sn-ks2026a000000043";

inline bridge::BridgeConfig OneBusTwoControllers(const std::string& port) {
    bridge::BridgeConfig config;
    config.pollIntervalS = 0.2;
    bridge::BusConfig bus;
    bus.port = port;
    bus.devices = {{1, "allowed", true}, {2, "watched", false}};
    config.buses.push_back(bus);
    return config;
}

class LiveBridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimulatorOptions options;
        options.devices = {1, 2};
        options.daySeconds = 0;
        Adjust(options);
        simulator_ = std::make_unique<sim::SimulatorThread>(options);
        std::string error;
        ASSERT_TRUE(simulator_->Start(&error)) << error;
        config_ = OneBusTwoControllers(simulator_->DevicePath());
        board_ = std::make_unique<bridge::DeviceBoard>(config_);
        fanOut_.Add(board_.get());
        AdjustConfig(config_);
        buses_ = std::make_unique<bridge::BridgeBuses>(config_, fanOut_, bridge::SystemLineOpener(),
                                                       bridge::PollerTiming{}, clockSync_);
        waiter_ = std::make_unique<bridge::CommandWaiter>(*buses_);
        fanOut_.Add(waiter_.get());

        AccessSettings access;
        access.readOpen = true;
        access.adminPasswordHash = *HashPassword("admin-secret", {1, 64, 1});
        router_ = std::make_unique<Router>(sessions_, access);
        sources_.board = board_.get();
        sources_.commands = waiter_.get();
        sources_.backupDirectory = (backups_.Path() / "backups").string();
        RegisterSessionRoutes(*router_, throttle_);
        RegisterDeviceRoutes(*router_, sources_);
        RegisterSettingsRoutes(*router_, sources_);
        server_ = std::make_unique<HttpServer>(
            WebServerOptions{}, [this](const HttpRequest& r) { return router_->Handle(r); });
        ASSERT_TRUE(server_->Start(&error)) << error;
        buses_->Start();
        ASSERT_TRUE(WaitFor([&] {
            const auto a = Get(std::string(kAllowed) + "/settings");
            const auto b = Get(std::string(kWatched) + "/settings");
            return a && a->status == 200 && b && b->status == 200;
        })) << "the settings were never read";
    }
    virtual void Adjust(sim::SimulatorOptions&) {}
    virtual void AdjustConfig(bridge::BridgeConfig&) {}
    void TearDown() override {
        if (server_) server_->Stop();
        buses_.reset();
    }

    template <typename Condition>
    static bool WaitFor(Condition condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    std::optional<RawResponse> Get(const std::string& path, const std::string& cookie = {}) {
        std::vector<std::string> headers;
        if (!cookie.empty()) headers.push_back("Cookie: " + cookie);
        return Request(server_->Port(), "GET", path, headers, "");
    }
    json GetJson(const std::string& path) {
        const auto response = Get(path, Cookie());
        EXPECT_TRUE(response && response->status == 200) << path;
        return response ? json::parse(response->body, nullptr, false) : json();
    }
    // The admin's session cookie, logging in the first time.
    const std::string& Cookie() {
        if (cookie_.empty()) {
            const auto login = Request(server_->Port(), "POST", "/api/v1/login", {},
                                       R"({"password":"admin-secret"})");
            EXPECT_TRUE(login && login->status == 200);
            cookie_ = login->setCookies.at(0).substr(0, login->setCookies[0].find(';'));
            csrf_ = json::parse(login->body)["csrf"];
        }
        return cookie_;
    }
    std::optional<RawResponse> AdminPost(const std::string& path, const json& body) {
        Cookie();
        return Request(server_->Port(), "POST", path,
                       {"Cookie: " + cookie_, "X-Kestrane-CSRF: " + csrf_}, body.dump());
    }
    std::unique_ptr<sim::SimulatorThread> simulator_;
    kestrane::testing::FakeClockSync clockSync_;
    bridge::BridgeConfig config_;
    std::unique_ptr<bridge::DeviceBoard> board_;
    bridge::UpdateFanOut fanOut_;
    std::unique_ptr<bridge::BridgeBuses> buses_;
    std::unique_ptr<bridge::CommandWaiter> waiter_;
    kestrane::testing::ScratchDir backups_{"kestrane-web-live"};
    WebSources sources_;
    SteppedClock clock_;
    Sessions sessions_{clock_};
    LoginThrottle throttle_{clock_};
    std::unique_ptr<Router> router_;
    std::unique_ptr<HttpServer> server_;
    std::string cookie_, csrf_;
};

}  // namespace kestrane::web::testing
