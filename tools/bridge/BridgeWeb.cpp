#include "BridgeWeb.h"

#include <fstream>
#include <sstream>

#include "bridge/BridgeLog.h"
#include "web/DeviceObjects.h"
#include "web/routes/BridgeRoutes.h"
#include "web/routes/DeviceRoutes.h"
#include "web/routes/HistoryRoutes.h"
#include "web/routes/MetricsRoutes.h"
#include "web/routes/SessionRoutes.h"
#include "web/routes/SettingsRoutes.h"

namespace kestrane::bridge {

namespace {

web::AccessSettings Access(const WebConfig& config) {
    web::AccessSettings access;
    access.readOpen = config.readOpen;
    access.viewerPasswordHash = config.viewerPasswordHash;
    access.adminPasswordHash = config.adminPasswordHash;
    return access;
}

bool ReadWhole(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::stringstream buffer;
    buffer << in.rdbuf();
    *text = buffer.str();
    return true;
}

}  // namespace

BridgeWeb::BridgeWeb(const WebConfig& config, web::WebSources sources)
    : config_(config),
      sources_(std::move(sources)),
      assets_(web::AssetTable::Embedded()),
      router_(sessions_, Access(config)) {
    const web::ChartJsResult chart = assets_.LoadChartJs();
    if (!chart.ok) BridgeLog(LogLevel::kWarning, "web page: " + chart.error + "; no charts");
    sources_.assets = &assets_;
    sources_.events = &events_;
    RegisterRoutes();
}

BridgeWeb::~BridgeWeb() {
    Stop();
}

// The API, one line per resource file.
void BridgeWeb::RegisterRoutes() {
    web::RegisterSessionRoutes(router_, throttle_);
    web::RegisterDeviceRoutes(router_, sources_);
    web::RegisterSettingsRoutes(router_, sources_);
    web::RegisterHistoryRoutes(router_, sources_);
    web::RegisterBridgeRoutes(router_, sources_);
    web::RegisterMetricsRoutes(router_, sources_);
    web::RegisterAssetRoutes(router_, sources_);
}

void BridgeWeb::Feed(const DeviceSnapshot& device, bool availabilityChanged) {
    events_.Broadcast("state", web::DeviceObject(device).dump());
    if (availabilityChanged)
        events_.Broadcast("availability", nlohmann::json{{"id", device.update.identity.deviceId},
                                                         {"online", device.update.online}}
                                              .dump());
    const int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
    int64_t last = lastBridgeEvent_.load();
    const int64_t every = std::chrono::nanoseconds(kBridgeEventEvery).count();
    if (now - last >= every && lastBridgeEvent_.compare_exchange_strong(last, now))
        events_.Broadcast("bridge", sources_.bridgeStatus().dump());
}

bool BridgeWeb::Start(std::string* error) {
    web::WebServerOptions options;
    options.listen = config_.listen;
    options.maxConnections = static_cast<unsigned>(config_.maxConnections);
    options.maxPerAddress = static_cast<unsigned>(config_.maxPerAddress);
    options.log = [](std::string_view line) {
        BridgeLog(LogLevel::kDebug, "web: " + std::string(line));
    };
    if (!config_.tlsCertFile.empty()) {
        if (!ReadWhole(config_.tlsCertFile, &options.tlsCertificate)) {
            *error = "cannot read " + config_.tlsCertFile;
            return false;
        }
        if (!ReadWhole(config_.tlsKeyFile, &options.tlsKey)) {
            *error = "cannot read " + config_.tlsKeyFile;
            return false;
        }
    }
    server_ = std::make_unique<web::HttpServer>(
        std::move(options),
        [this](const web::HttpRequest& request) { return router_.Handle(request); });
    return server_->Start(error);
}

void BridgeWeb::Stop() {
    events_.CloseAll();
    if (server_) server_->Stop();
}

std::string BridgeWeb::Address() const {
    const std::string host = config_.listen.substr(0, config_.listen.rfind(':'));
    return std::string(server_ && server_->Secure() ? "https://" : "http://") + host + ":" +
           std::to_string(server_ ? server_->Port() : 0);
}

}  // namespace kestrane::bridge
