#include "bridge/BridgeConfig.h"

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include <toml++/toml.h>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <regex>
#include <set>
#include <sstream>
#include <string_view>
#include <utility>

namespace kestrane::bridge {

namespace {

constexpr unsigned kMaxBaud = 4000000;
constexpr int kMaxTimeoutMs = 60000;
constexpr int kMaxRetries = 10;
constexpr double kMaxPollIntervalS = 86400;

struct ConfigError {
    std::string text;
};

class Reader {
public:
    Reader(std::string source, const std::optional<std::string>& environmentPassword,
           bool sourceWorldReadable)
        : source_(std::move(source)),
          environmentPassword_(environmentPassword),
          sourceWorldReadable_(sourceWorldReadable) {}

    BridgeConfig Read(const toml::table& root);
    std::vector<std::string> warnings;

private:
    [[noreturn]] void Fail(const toml::node& at, const std::string& key,
                           const std::string& what) const {
        Fail(at.source().begin.line, key, what);
    }
    [[noreturn]] void Fail(uint32_t line, const std::string& key, const std::string& what) const {
        throw ConfigError{Where(line, key) + what};
    }
    std::string Where(uint32_t line, const std::string& key) const {
        return source_ + ":" + std::to_string(line) + ": " + key + ": ";
    }

    // Every key of `table` must be one of `known`.
    void OnlyKnown(const toml::table& table, const std::string& path,
                   std::initializer_list<std::string_view> known) const;
    static std::string Join(const std::string& path, std::string_view key) {
        return path.empty() ? std::string(key) : path + "." + std::string(key);
    }

    int64_t Integer(const toml::table& t, const std::string& path, std::string_view key,
                    int64_t fallback, int64_t min, int64_t max) const;
    std::string Text(const toml::table& t, const std::string& path, std::string_view key,
                     const std::string& fallback) const;
    bool Flag(const toml::table& t, const std::string& path, std::string_view key) const;

    MqttConfig ReadMqtt(const toml::table& table);
    HistoryConfig ReadHistory(const toml::table& table) const;
    WebConfig ReadWeb(const toml::table& table) const;
    BusConfig ReadBus(const toml::table& table, const std::string& path) const;
    std::string ReadPasswordFile(const toml::node& at, const std::string& file);

    std::string source_;
    std::optional<std::string> environmentPassword_;
    bool sourceWorldReadable_;
};

void Reader::OnlyKnown(const toml::table& table, const std::string& path,
                       std::initializer_list<std::string_view> known) const {
    for (const auto& [key, node] : table) {
        bool found = false;
        for (std::string_view k : known)
            found = found || k == key.str();
        if (!found) Fail(node, Join(path, key.str()), "unknown key");
    }
}

int64_t Reader::Integer(const toml::table& t, const std::string& path, std::string_view key,
                        int64_t fallback, int64_t min, int64_t max) const {
    const toml::node* node = t.get(key);
    if (node == nullptr) return fallback;
    const auto value = node->value_exact<int64_t>();
    if (!value) Fail(*node, Join(path, key), "must be a whole number");
    if (*value < min || *value > max)
        Fail(*node, Join(path, key),
             "must be " + std::to_string(min) + ".." + std::to_string(max) + ", not " +
                 std::to_string(*value));
    return *value;
}

std::string Reader::Text(const toml::table& t, const std::string& path, std::string_view key,
                         const std::string& fallback) const {
    const toml::node* node = t.get(key);
    if (node == nullptr) return fallback;
    const auto value = node->value_exact<std::string>();
    if (!value) Fail(*node, Join(path, key), "must be a string");
    return *value;
}

bool Reader::Flag(const toml::table& t, const std::string& path, std::string_view key) const {
    const toml::node* node = t.get(key);
    if (node == nullptr) return false;
    const auto value = node->value_exact<bool>();
    if (!value) Fail(*node, Join(path, key), "must be true or false");
    return *value;
}

bool WorldReadable(const std::string& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 && (info.st_mode & S_IROTH) != 0;
}

// The systemd service runs as a user of its own that cannot open a root-only
// password file; systemd hands the file over as a credential of the same
// name in $CREDENTIALS_DIRECTORY. Empty when there is none (the unit's empty
// default when the file is missing).
std::string CredentialCopy(const std::string& file) {
    const char* directory = std::getenv("CREDENTIALS_DIRECTORY");
    if (directory == nullptr || *directory == '\0') return {};
    const std::string name = std::filesystem::path(file).filename().string();
    if (name.empty()) return {};
    const std::string copy = std::string(directory) + "/" + name;
    std::ifstream in(copy);
    return in && in.peek() != std::ifstream::traits_type::eof() ? copy : std::string{};
}

std::string Reader::ReadPasswordFile(const toml::node& at, const std::string& file) {
    std::ifstream in(file);
    if (!in) {
        const std::string copy = CredentialCopy(file);
        if (copy.empty()) Fail(at, "mqtt.password_file", "cannot read " + file);
        in.open(copy);
    }
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    if (WorldReadable(file))
        warnings.push_back(Where(at.source().begin.line, "mqtt.password_file") + file +
                           " can be read by every user (chmod 600 it)");
    return line;
}

MqttConfig Reader::ReadMqtt(const toml::table& t) {
    OnlyKnown(t, "mqtt",
              {"host", "port", "client_id", "username", "password", "password_file", "tls_ca_file",
               "topic_prefix", "discovery_prefix", "keepalive_s"});
    MqttConfig mqtt;
    mqtt.host = Text(t, "mqtt", "host", mqtt.host);
    if (mqtt.host.empty()) Fail(*t.get("host"), "mqtt.host", "must not be empty");
    mqtt.port = static_cast<int>(Integer(t, "mqtt", "port", mqtt.port, 1, 65535));
    mqtt.clientId = Text(t, "mqtt", "client_id", mqtt.clientId);
    mqtt.username = Text(t, "mqtt", "username", "");
    mqtt.password = Text(t, "mqtt", "password", "");
    mqtt.passwordFile = Text(t, "mqtt", "password_file", "");
    mqtt.tlsCaFile = Text(t, "mqtt", "tls_ca_file", "");
    mqtt.topicPrefix = Text(t, "mqtt", "topic_prefix", mqtt.topicPrefix);
    mqtt.discoveryPrefix = Text(t, "mqtt", "discovery_prefix", mqtt.discoveryPrefix);
    mqtt.keepaliveS = static_cast<int>(Integer(t, "mqtt", "keepalive_s", mqtt.keepaliveS, 5, 3600));
    const std::pair<const char*, const std::string*> prefixes[] = {
        {"topic_prefix", &mqtt.topicPrefix}, {"discovery_prefix", &mqtt.discoveryPrefix}};
    for (const auto& [key, value] : prefixes) {
        if (value->empty() || value->find_first_of("+#") != std::string::npos ||
            value->front() == '/' || value->back() == '/')
            Fail(*t.get(key), std::string("mqtt.") + key,
                 "must be a topic without wildcards or a leading or trailing '/'");
    }
    if (!mqtt.tlsCaFile.empty() && !std::ifstream(mqtt.tlsCaFile))
        Fail(*t.get("tls_ca_file"), "mqtt.tls_ca_file", "cannot read " + mqtt.tlsCaFile);
    if (!mqtt.password.empty() && !mqtt.passwordFile.empty())
        Fail(*t.get("password"), "mqtt.password", "give either password or password_file");
    if (!mqtt.password.empty() && sourceWorldReadable_)
        warnings.push_back(Where(t.get("password")->source().begin.line, "mqtt.password") +
                           "this file holds a password and can be read by every user (chmod 600 "
                           "it, or use password_file)");
    if (environmentPassword_) {
        mqtt.password = *environmentPassword_;
    } else if (!mqtt.passwordFile.empty()) {
        mqtt.password = ReadPasswordFile(*t.get("password_file"), mqtt.passwordFile);
    }
    return mqtt;
}

HistoryConfig Reader::ReadHistory(const toml::table& t) const {
    OnlyKnown(t, "history", {"dir", "interval_s", "keep_days"});
    HistoryConfig history;
    history.dir = Text(t, "history", "dir", "");
    if (!history.dir.empty()) {
        struct stat info {};
        // A folder that is missing is made at start; one that exists must take files.
        if (::stat(history.dir.c_str(), &info) == 0 &&
            (!S_ISDIR(info.st_mode) || ::access(history.dir.c_str(), W_OK | X_OK) != 0))
            Fail(*t.get("dir"), "history.dir", history.dir + " is not a writable folder");
    }
    history.intervalS =
        static_cast<int>(Integer(t, "history", "interval_s", history.intervalS, 0, 86400));
    history.keepDays =
        static_cast<int>(Integer(t, "history", "keep_days", history.keepDays, 0, 100000));
    return history;
}

// The form of an Argon2id encoded hash; the web layer checks it again before
// every use, and libargon2 reads it.
bool LooksLikeArgon2id(const std::string& text) {
    static const std::regex kForm(
        R"(\$argon2id\$v=19\$m=[0-9]{1,8},t=[0-9]{1,4},p=[0-9]{1,3}\$[A-Za-z0-9+/]{11,}\$[A-Za-z0-9+/]{16,})");
    return std::regex_match(text, kForm);
}

// host:port with a numeric port, the host bracketed when it is IPv6. Port 0
// lets the system pick one; the bridge's log line names it.
bool LooksLikeListenAddress(const std::string& text) {
    static const std::regex kForm(R"((\[[0-9A-Fa-f:.]+\]|[A-Za-z0-9.-]+):([0-9]{1,5}))");
    std::smatch match;
    return std::regex_match(text, match, kForm) && std::stoul(match[2]) <= 65535;
}

WebConfig Reader::ReadWeb(const toml::table& t) const {
    OnlyKnown(t, "web",
              {"listen", "read_access", "viewer_password_hash", "admin_password_hash",
               "tls_cert_file", "tls_key_file", "max_connections", "max_per_address"});
    WebConfig web;
    web.listen = Text(t, "web", "listen", web.listen);
    if (!LooksLikeListenAddress(web.listen))
        Fail(*t.get("listen"), "web.listen",
             "must be host:port (port 0..65535, 0 picks a free one), or [address]:port for IPv6");
    const std::string readAccess = Text(t, "web", "read_access", "open");
    if (readAccess != "open" && readAccess != "password")
        Fail(*t.get("read_access"), "web.read_access", "must be \"open\" or \"password\"");
    web.readOpen = readAccess == "open";
    const std::pair<const char*, std::string*> hashes[] = {
        {"viewer_password_hash", &web.viewerPasswordHash},
        {"admin_password_hash", &web.adminPasswordHash}};
    for (const auto& [key, value] : hashes) {
        *value = Text(t, "web", key, "");
        if (!value->empty() && !LooksLikeArgon2id(*value))
            Fail(*t.get(key), std::string("web.") + key,
                 "must be an Argon2id hash from kestrane-bridge --hash-password");
    }
    if (!web.readOpen && web.viewerPasswordHash.empty())
        Fail(t.contains("read_access") ? *t.get("read_access") : static_cast<const toml::node&>(t),
             "web.viewer_password_hash", "needed when read_access = \"password\"");
    web.tlsCertFile = Text(t, "web", "tls_cert_file", "");
    web.tlsKeyFile = Text(t, "web", "tls_key_file", "");
    if (web.tlsCertFile.empty() != web.tlsKeyFile.empty())
        Fail(t, web.tlsCertFile.empty() ? "web.tls_cert_file" : "web.tls_key_file",
             "TLS needs both tls_cert_file and tls_key_file");
    for (const auto& [key, file] :
         {std::pair{"tls_cert_file", web.tlsCertFile}, std::pair{"tls_key_file", web.tlsKeyFile}})
        if (!file.empty() && !std::ifstream(file))
            Fail(*t.get(key), std::string("web.") + key, "cannot read " + file);
    web.maxConnections =
        static_cast<int>(Integer(t, "web", "max_connections", web.maxConnections, 1, 1024));
    web.maxPerAddress =
        static_cast<int>(Integer(t, "web", "max_per_address", web.maxPerAddress, 1, 1024));
    if (web.maxPerAddress > web.maxConnections)
        Fail(*t.get("max_per_address"), "web.max_per_address",
             "must not be more than max_connections");
    return web;
}

BusConfig Reader::ReadBus(const toml::table& t, const std::string& path) const {
    OnlyKnown(t, path,
              {"port", "baud", "response_timeout_ms", "retries", "inter_request_gap_ms",
               "turnaround_ms", "devices"});
    BusConfig bus;
    if (!t.contains("port")) Fail(t, Join(path, "port"), "missing");
    bus.port = Text(t, path, "port", "");
    if (bus.port.empty()) Fail(*t.get("port"), Join(path, "port"), "must not be empty");
    bus.baud = static_cast<unsigned>(Integer(t, path, "baud", bus.baud, 50, kMaxBaud));
    bus.responseTimeoutMs = static_cast<int>(
        Integer(t, path, "response_timeout_ms", bus.responseTimeoutMs, 10, kMaxTimeoutMs));
    bus.retries = static_cast<int>(Integer(t, path, "retries", bus.retries, 0, kMaxRetries));
    bus.interRequestGapMs =
        static_cast<int>(Integer(t, path, "inter_request_gap_ms", 0, 0, kMaxTimeoutMs));
    bus.turnaroundMs = static_cast<int>(Integer(t, path, "turnaround_ms", 0, 0, kMaxTimeoutMs));

    const toml::node* devicesNode = t.get("devices");
    if (devicesNode == nullptr) Fail(t, Join(path, "devices"), "missing");
    const toml::array* devices = devicesNode->as_array();
    if (devices == nullptr || devices->empty())
        Fail(*devicesNode, Join(path, "devices"),
             "must be a list of { address = N, name = \"...\" }");
    std::set<int> seen;
    for (size_t i = 0; i < devices->size(); ++i) {
        const toml::node& node = *devices->get(i);
        const std::string devicePath = Join(path, "devices") + "[" + std::to_string(i) + "]";
        const toml::table* d = node.as_table();
        if (d == nullptr) Fail(node, devicePath, "must be a table { address = N, ... }");
        OnlyKnown(*d, devicePath, {"address", "name", "allow_control"});
        if (!d->contains("address")) Fail(node, devicePath + ".address", "missing");
        DeviceConfig device;
        device.address = static_cast<uint8_t>(Integer(*d, devicePath, "address", 0, 1, 247));
        if (!seen.insert(device.address).second)
            Fail(*d->get("address"), devicePath + ".address",
                 "address " + std::to_string(device.address) + " is already used on this bus");
        device.name = Text(*d, devicePath, "name", "Controller " + std::to_string(device.address));
        device.allowControl = Flag(*d, devicePath, "allow_control");
        bus.devices.push_back(device);
    }
    return bus;
}

BridgeConfig Reader::Read(const toml::table& root) {
    OnlyKnown(root, "", {"poll_interval_s", "clock_source", "mqtt", "history", "web", "bus"});
    BridgeConfig config;
    config.path = source_;
    if (const toml::node* node = root.get("poll_interval_s")) {
        const auto value = node->value<double>();  // integers too
        if (!value || !(node->is_integer() || node->is_floating_point()))
            Fail(*node, "poll_interval_s", "must be a number of seconds");
        if (!std::isfinite(*value) || *value < 0 || *value > kMaxPollIntervalS)
            Fail(*node, "poll_interval_s", "must be 0..86400");
        config.pollIntervalS = *value;
    }
    const std::string clockSource = Text(root, "", "clock_source", "network");
    if (clockSource == "local")
        config.clockSource = ClockSource::kLocal;
    else if (clockSource != "network")
        Fail(*root.get("clock_source"), "clock_source",
             "must be \"network\" (the clock is set by network time after boot) or \"local\" "
             "(a real-time clock keeps it), not \"" +
                 clockSource + "\"");
    if (const toml::node* node = root.get("mqtt")) {
        const toml::table* mqtt = node->as_table();
        if (mqtt == nullptr) Fail(*node, "mqtt", "must be a table [mqtt]");
        config.mqtt = ReadMqtt(*mqtt);
    }
    if (const toml::node* node = root.get("history")) {
        const toml::table* history = node->as_table();
        if (history == nullptr) Fail(*node, "history", "must be a table [history]");
        config.history = ReadHistory(*history);
    }
    if (const toml::node* node = root.get("web")) {
        const toml::table* web = node->as_table();
        if (web == nullptr) Fail(*node, "web", "must be a table [web]");
        config.web = ReadWeb(*web);
    }
    const toml::node* busNode = root.get("bus");
    if (busNode == nullptr) Fail(1, "bus", "no [[bus]] table: nothing to poll");
    const toml::array* buses = busNode->as_array();
    if (buses == nullptr || buses->empty()) Fail(*busNode, "bus", "must be [[bus]] tables");
    for (size_t i = 0; i < buses->size(); ++i) {
        const toml::node& node = *buses->get(i);
        const std::string path = "bus[" + std::to_string(i) + "]";
        const toml::table* bus = node.as_table();
        if (bus == nullptr) Fail(node, path, "must be a table");
        config.buses.push_back(ReadBus(*bus, path));
        // Two threads on one line would take turns failing to open it.
        for (size_t j = 0; j + 1 < config.buses.size(); ++j)
            if (config.buses[j].port == config.buses.back().port)
                Fail(*bus->get("port"), path + ".port",
                     "the same port as bus[" + std::to_string(j) + "]");
    }
    return config;
}

}  // namespace

ConfigLoad ParseBridgeConfig(const std::string& text, const std::string& sourceName,
                             const std::optional<std::string>& environmentPassword,
                             bool sourceWorldReadable) {
    ConfigLoad load;
    Reader reader(sourceName, environmentPassword, sourceWorldReadable);
    try {
        const toml::table root = toml::parse(text, sourceName);
        load.config = reader.Read(root);
    } catch (const toml::parse_error& e) {
        load.error = sourceName + ":" + std::to_string(e.source().begin.line) +
                     ": syntax: " + std::string(e.description());
    } catch (const ConfigError& e) {
        load.error = e.text;
    }
    load.warnings = std::move(reader.warnings);
    return load;
}

ConfigLoad LoadBridgeConfig(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ConfigLoad load;
        load.error = path + ":0: file: cannot be read";
        return load;
    }
    std::stringstream text;
    text << in.rdbuf();
    const char* env = std::getenv("KESTRANE_MQTT_PASSWORD");
    return ParseBridgeConfig(text.str(), path,
                             env != nullptr ? std::optional<std::string>(env) : std::nullopt,
                             WorldReadable(path));
}

std::string DefaultHistoryDir() {
    if (const char* state = std::getenv("STATE_DIRECTORY"); state != nullptr && *state != 0) {
        const std::string first(state, std::strcspn(state, ":"));
        return first + "/history";
    }
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/')
        return std::string(data) + "/kestrane/history";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : ".") + "/.local/share/kestrane/history";
}

std::string BackupDirBeside(const std::string& historyDir) {
    std::filesystem::path history = std::filesystem::path(historyDir).lexically_normal();
    if (!history.has_filename()) history = history.parent_path();  // a trailing '/'
    return (history.parent_path() / "backups").string();
}

}  // namespace kestrane::bridge
