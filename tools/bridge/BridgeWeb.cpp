#include "BridgeWeb.h"

#include <fstream>
#include <sstream>

#include "bridge/BridgeLog.h"
#include "web/routes/SessionRoutes.h"

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

BridgeWeb::BridgeWeb(const WebConfig& config)
    : config_(config), router_(sessions_, Access(config)) {
    RegisterRoutes();
}

BridgeWeb::~BridgeWeb() {
    Stop();
}

// The API, one line per resource file. Device, history and metrics routes
// register here as they are added.
void BridgeWeb::RegisterRoutes() {
    web::RegisterSessionRoutes(router_, throttle_);
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
