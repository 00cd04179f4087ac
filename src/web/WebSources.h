// What the API's routes read and act on, handed to them at start: the
// bridge's latest device states, its command path, its history folder, its
// status and the page's files. The routes own none of it.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "bridge/CommandWaiter.h"
#include "bridge/DeviceBoard.h"
#include "history/HistoryStore.h"
#include "web/AssetTable.h"
#include "web/EventHub.h"

namespace kestrane::web {

struct WebSources {
    bridge::DeviceBoard* board = nullptr;
    bridge::CommandWaiter* commands = nullptr;
    HistoryStore* history = nullptr;  // null when the history is off
    // The bridge object of GET /api/v1/bridge.
    std::function<nlohmann::json()> bridgeStatus;
    const AssetTable* assets = nullptr;
    EventHub* events = nullptr;
    double pollIntervalS = 5;
    // How long a command's answer waits for its outcome.
    std::chrono::milliseconds commandBound{10000};
    // A settings write reads, writes and reads again: it may take longer.
    std::chrono::milliseconds settingsBound{30000};
    // Where a settings write keeps the backup it makes first.
    std::string backupDirectory;
};

}  // namespace kestrane::web
