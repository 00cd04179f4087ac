// The command line of kestrane-bridge setup: where the config goes, which
// ports to search and how long, and, for --yes, every answer as an option.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace kestrane::bridge {

inline constexpr const char* kDefaultConfigPath = "/etc/kestrane/bridge.toml";

struct SetupOptions {
    std::string config = kDefaultConfigPath;
    std::vector<std::string> ports;
    bool yes = false;
    bool force = false;
    bool full = false;
    double searchSeconds = 0;  // 0: the default for the search chosen
    int probeWaitMs = 40;      // the least wait of a search probe
    int webPort = 0;           // with --yes; 0: no web page
    std::string adminPasswordFile;
    std::string mqttHost;  // with --yes; empty: no MQTT
    int mqttPort = 1883;
    std::string mqttUser;
    std::string mqttPasswordFile;
    bool allowControl = false;
    std::string historyDir;
};

// Bounds of one port's search when --search-seconds is not given: enough
// for the likely addresses at every rate, or for every address at every rate.
inline constexpr double kDefaultSearchSeconds = 40;
inline constexpr double kDefaultFullSearchSeconds = 420;

// Adds the `setup` subcommand to `app`, filling `options`.
CLI::App* AddSetupCommand(CLI::App& app, SetupOptions& options);

}  // namespace kestrane::bridge
