// The dashboard's API through the real server: device objects as the bridge's
// board holds them, an admin's command waiting for its own outcome (or
// giving up), the history paths, and names from the network that must never
// reach the file system.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>

#include "SteppedClock.h"
#include "TestHttpClient.h"
#include "bridge/CommandWaiter.h"
#include "bridge/DeviceBoard.h"
#include "history/HistoryStore.h"
#include "support/ScratchDir.h"
#include "web/HttpServer.h"
#include "web/LoginThrottle.h"
#include "web/PasswordHash.h"
#include "web/Router.h"
#include "web/Sessions.h"
#include "web/routes/BridgeRoutes.h"
#include "web/routes/DeviceRoutes.h"
#include "web/routes/HistoryRoutes.h"
#include "web/routes/SessionRoutes.h"

namespace kestrane::web {
namespace {

using namespace testing;
using nlohmann::json;

// Answers every command at once, as a bus thread would after its read-back,
// or never when `silent`.
class InstantBuses : public bridge::ICommandSink {
public:
    bridge::CommandWaiter* waiter = nullptr;
    bool silent = false;
    std::vector<bridge::DeviceCommand> received;
    bool Submit(const bridge::DeviceCommand& command) override {
        received.push_back(command);
        if (!silent) {
            waiter->ReportOutcome({command.deviceId, false, "someone else's", command.id + 1000});
            waiter->ReportOutcome({command.deviceId, true, "load mode set", command.id});
        }
        return true;
    }
};

bridge::BridgeConfig TwoDevices() {
    bridge::BridgeConfig config;
    bridge::BusConfig bus;
    bus.port = "/dev/ttyUSB0";
    bus.devices = {{1, "Shed \"east\"", true}, {2, "Never", false}};
    config.buses.push_back(bus);
    return config;
}

class ApiRoutesTest : public ::testing::Test {
protected:
    void SetUp() override {
        waiter_ = std::make_unique<bridge::CommandWaiter>(buses_);
        buses_.waiter = waiter_.get();
        bridge::DeviceUpdate update;
        update.identity = {"sn-ks1", "Shed \"east\"", "MPPT", "KS1", "V1", "/dev/ttyUSB0", 0, 1,
                           true};
        update.online = true;
        update.state = {{"battery_voltage", 13.1}, {"load_mode", "Light"}};
        update.link = {{"requests", 8}, {"ok", 8}};
        board_.Publish(update);

        std::filesystem::create_directories(history_.Path() / "sn-ks1");
        std::ofstream(history_.Path() / "sn-ks1" / "2026_12_9_Log.csv")
            << "2026.12.9,10:0:0, Connected,KS1,CC CHG,ON,NormalRun, 18.0,13.1,13.0,4.0,1.0, "
               "59,10,100,20,25,20\r\n";
        std::ofstream(history_.Path() / "secret.txt") << "not for browsers";

        AccessSettings access;
        access.readOpen = true;
        access.adminPasswordHash = *HashPassword("admin-secret", {1, 64, 1});
        router_ = std::make_unique<Router>(sessions_, access);
        sources_.board = &board_;
        sources_.commands = waiter_.get();
        sources_.history = &store_;
        sources_.bridgeStatus = [] { return json{{"version", "test"}}; };
        sources_.events = &events_;
        sources_.commandBound = std::chrono::milliseconds(300);
        RegisterSessionRoutes(*router_, throttle_);
        RegisterDeviceRoutes(*router_, sources_);
        RegisterHistoryRoutes(*router_, sources_);
        RegisterBridgeRoutes(*router_, sources_);
        server_ = std::make_unique<HttpServer>(
            WebServerOptions{}, [this](const HttpRequest& r) { return router_->Handle(r); });
        std::string error;
        ASSERT_TRUE(server_->Start(&error)) << error;
    }
    std::optional<RawResponse> Get(const std::string& path) {
        return Request(server_->Port(), "GET", path, {}, "");
    }
    // Logs in as admin and posts with the session's cookie and CSRF value.
    std::optional<RawResponse> AdminPost(const std::string& path, const std::string& body) {
        const auto login =
            Request(server_->Port(), "POST", "/api/v1/login", {}, R"({"password":"admin-secret"})");
        EXPECT_TRUE(login && login->status == 200);
        const std::string cookie =
            login->setCookies.at(0).substr(0, login->setCookies[0].find(';'));
        const std::string csrf = json::parse(login->body)["csrf"];
        return Request(server_->Port(), "POST", path,
                       {"Cookie: " + cookie, "X-Kestrane-CSRF: " + csrf}, body);
    }

    InstantBuses buses_;
    std::unique_ptr<bridge::CommandWaiter> waiter_;
    bridge::DeviceBoard board_{TwoDevices()};
    kestrane::testing::ScratchDir history_{"kestrane-api-history"};
    HistoryStore store_{history_.Path().string()};
    EventHub events_;
    WebSources sources_;
    SteppedClock clock_;
    Sessions sessions_{clock_};
    LoginThrottle throttle_{clock_};
    std::unique_ptr<Router> router_;
    std::unique_ptr<HttpServer> server_;
};

TEST_F(ApiRoutesTest, DevicesListEveryConfiguredControllerWithItsLatestState) {
    const auto response = Get("/api/v1/devices");
    ASSERT_TRUE(response && response->status == 200);
    const json devices = json::parse(response->body)["devices"];
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]["id"], "sn-ks1");
    EXPECT_EQ(devices[0]["name"], "Shed \"east\"");
    EXPECT_EQ(devices[0]["state"]["battery_voltage"], 13.1);
    EXPECT_TRUE(devices[0]["last_update"].is_string());
    // Configured but never heard from: listed, offline, without a state.
    EXPECT_EQ(devices[1]["id"], "bus0-addr2");
    EXPECT_FALSE(devices[1]["online"]);
    EXPECT_TRUE(devices[1]["state"].is_null());
    EXPECT_TRUE(devices[1]["last_update"].is_null());

    const auto one = Get("/api/v1/devices/sn-ks1");
    ASSERT_TRUE(one && one->status == 200);
    EXPECT_EQ(json::parse(one->body)["identity"]["serial_number"], "KS1");
    EXPECT_EQ(Get("/api/v1/devices/sn-none")->status, 404);
}

TEST_F(ApiRoutesTest, AnAdminsCommandWaitsForItsOwnOutcome) {
    const auto response = AdminPost("/api/v1/devices/sn-ks1/load_mode", R"({"mode":"Dual Timer"})");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(json::parse(response->body), (json{{"ok", true}, {"message", "load mode set"}}));
    ASSERT_EQ(buses_.received.size(), 1u);
    EXPECT_EQ(buses_.received[0].loadMode, bridge::LoadModeChoice::kDualTimer);

    EXPECT_EQ(AdminPost("/api/v1/devices/sn-ks1/load_mode", R"({"mode":"dual timer"})")->status,
              400);
    EXPECT_EQ(AdminPost("/api/v1/devices/sn-ks1/load_mode", "not json")->status, 400);
    const auto refused = AdminPost("/api/v1/devices/bus0-addr2/clock", "");
    EXPECT_EQ(refused->status, 409);
    EXPECT_EQ(json::parse(refused->body)["error"]["code"], "conflict");
    EXPECT_EQ(buses_.received.size(), 1u);

    buses_.silent = true;
    const auto late = AdminPost("/api/v1/devices/sn-ks1/clock", "");
    ASSERT_TRUE(late && late->status == 200);
    EXPECT_FALSE(json::parse(late->body)["ok"]);
}

TEST_F(ApiRoutesTest, HistoryPathsServeTheStoreAndNeverAFileTheyName) {
    const auto days = Get("/api/v1/devices/sn-ks1/days?from=2026-12-01");
    ASSERT_TRUE(days && days->status == 200);
    EXPECT_EQ(json::parse(days->body)["days"][0]["charged_wh"], 100);
    const auto series =
        Get("/api/v1/devices/sn-ks1/series?from=2026-12-09&to=2026-12-10&buckets=24");
    ASSERT_TRUE(series && series->status == 200);
    const json points = json::parse(series->body)["points"];
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0]["n"], 1);
    const auto csv = Get("/api/v1/devices/sn-ks1/day/2026-12-09.csv");
    ASSERT_TRUE(csv && csv->status == 200);
    EXPECT_EQ(csv->body.rfind("2026.12.9,10:0:0, Connected", 0), 0u);
    EXPECT_NE(csv->Header("content-disposition").find("sn-ks1-2026-12-09.csv"), std::string::npos);

    for (const char* path :
         {"/api/v1/devices/../day/2026-12-09.csv", "/api/v1/devices/%2e%2e/days",
          "/api/v1/devices/..%2fsecret.txt/days", "/api/v1/devices/sn-ks1/day/..%2f..%2fsecret.txt",
          "/api/v1/devices/sn-ks1/day/2026-12-09.txt", "/api/v1/devices/SN-KS1/days"}) {
        const auto response = Get(path);
        ASSERT_TRUE(response) << path;
        EXPECT_EQ(response->status, 404) << path;
        EXPECT_EQ(response->body.find("not for browsers"), std::string::npos) << path;
    }
    for (const char* query : {"from=2026-12-10&to=2026-12-09", "from=x&to=2026-12-09",
                              "from=2026-12-09&to=2026-12-10&buckets=2001",
                              "from=2026-12-09&to=2026-12-10&buckets=-1", "to=2026-12-10"})
        EXPECT_EQ(Get(std::string("/api/v1/devices/sn-ks1/series?") + query)->status, 400) << query;
}

}  // namespace
}  // namespace kestrane::web
