// The second half of kestrane-bridge setup's questions: a name and control
// for each controller found, the web page, MQTT. Asked, or with --yes taken
// from the options. The result is the configuration to write and the secret
// that goes beside it.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "SetupOptions.h"
#include "SetupPrompter.h"
#include "SetupSearch.h"
#include "bridge/BridgeConfig.h"

namespace kestrane::bridge {

// An answer that cannot be used (an unreadable password file, hashing failed).
struct SetupError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct SetupAnswers {
    BridgeConfig config;
    std::string mqttPassword;  // goes to config.mqtt->passwordFile; empty: none
    int webPort = 0;           // 0: no web page
};

// `prompter` is null with --yes.
SetupAnswers AskAnswers(const std::vector<FoundBus>& buses, const SetupOptions& options,
                        SetupPrompter* prompter);

// Where the MQTT password goes: mqtt.pass beside the config.
std::string PasswordFileBeside(const std::string& configPath);

}  // namespace kestrane::bridge
