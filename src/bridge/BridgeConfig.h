// What kestrane-bridge is told to do: which buses to poll, which controllers
// sit on each, how often, and where the broker is. Plain values, filled by
// LoadBridgeConfig from a TOML file and read by both the bus side and the
// MQTT side.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrane::bridge {

struct DeviceConfig {
    uint8_t address = 0;  // 1..247, unique on its bus
    std::string name;     // "Controller <address>" when not given
    bool allowControl = false;
};

struct BusConfig {
    std::string port;  // a device path, a /dev/serial/by-id/ name, or tcp://host:port
    unsigned baud = 9600;
    int responseTimeoutMs = 300;
    int retries = 2;
    // Quiet time some adapters and controllers need between queries, and the
    // delay before each request for slow RS-485 direction switching. Both
    // lengthen the silence kept before every request.
    int interRequestGapMs = 0;
    int turnaroundMs = 0;
    std::vector<DeviceConfig> devices;
};

struct MqttConfig {
    std::string host = "127.0.0.1";
    int port = 1883;
    std::string clientId = "kestrane-bridge";
    std::string username;
    // The password: KESTRANE_MQTT_PASSWORD when set, else the first line of
    // password_file, else an inline `password`. Empty for none.
    std::string password;
    std::string passwordFile;
    std::string tlsCaFile;  // empty: no TLS
    std::string topicPrefix = "kestrane";
    std::string discoveryPrefix = "homeassistant";
    int keepaliveS = 30;
};

// The bridge's own history: the window's daily log files, one folder per
// controller.
struct HistoryConfig {
    std::string dir;     // empty: DefaultHistoryDir()
    int intervalS = 60;  // one record per controller per interval; 0: no history
    int keepDays = 0;    // 0 keeps everything
};

// The [web] table: the dashboard's listening address and who may use it.
// Passwords are only ever Argon2id encoded hashes from --hash-password.
struct WebConfig {
    std::string listen = "0.0.0.0:8080";  // host:port; [::]:8080 for IPv6
    bool readOpen = true;                 // read_access = "open" (else "password")
    std::string viewerPasswordHash;       // needed when read_access = "password"
    std::string adminPasswordHash;        // empty: no admin, the page is read-only
    std::string tlsCertFile;              // both set: HTTPS only
    std::string tlsKeyFile;
    int maxConnections = 64;
    int maxPerAddress = 16;
};

// Where the machine's wall clock comes from, which decides whether "Set
// clock" may copy it into a controller. kNetwork: network time sets it after
// boot (a computer without a real-time clock), so the copy waits until the
// kernel says the clock is synchronised. kLocal: a real-time clock keeps it,
// and it is copied as it is.
enum class ClockSource { kNetwork, kLocal };

struct BridgeConfig {
    std::string path;
    double pollIntervalS = 5;                         // 0: as fast as the buses allow
    ClockSource clockSource = ClockSource::kNetwork;  // clock_source = "network" | "local"
    std::optional<MqttConfig> mqtt;
    HistoryConfig history;
    std::optional<WebConfig> web;  // without it no port is opened
    std::vector<BusConfig> buses;
};

struct ConfigLoad {
    std::optional<BridgeConfig> config;  // empty on an error
    std::string error;                   // "<file>:<line>: <key>: <what>"
    std::vector<std::string> warnings;   // same form; the config is still used
};

// Parses `text` as read from `sourceName`. Unknown keys, wrong types, values
// out of range, a missing port or device list and an address given twice on
// one bus are errors. `environmentPassword` stands for KESTRANE_MQTT_PASSWORD;
// a password_file is read here. An inline password in a source every user can
// read, or a password file every user can read, gives a warning.
ConfigLoad ParseBridgeConfig(const std::string& text, const std::string& sourceName,
                             const std::optional<std::string>& environmentPassword = {},
                             bool sourceWorldReadable = false);

// Reads the file and parses it with the password from the environment.
ConfigLoad LoadBridgeConfig(const std::string& path);

// $STATE_DIRECTORY/history under systemd (its first folder), otherwise
// $XDG_DATA_HOME/kestrane/history, otherwise ~/.local/share/kestrane/history.
std::string DefaultHistoryDir();

// "backups" beside the history folder: where a settings write from the web
// page keeps the settings it replaces. Beside the default history folder
// that is where `kestrane-cli settings apply` keeps its own.
std::string BackupDirBeside(const std::string& historyDir);

}  // namespace kestrane::bridge
