#include "bridge/BridgeConfigToml.h"

#include <toml++/toml.h>
#include <sstream>

namespace kestrane::bridge {

namespace {

// A TOML basic string ("..."), with every character escaped that needs it.
std::string Quoted(const std::string& text) {
    constexpr auto kFlags =
        toml::toml_formatter::default_flags &
        ~(toml::format_flags::allow_literal_strings | toml::format_flags::allow_multi_line_strings |
          toml::format_flags::allow_real_tabs_in_strings);
    const toml::value<std::string> value(text);
    std::ostringstream out;
    out << toml::toml_formatter(value, kFlags);
    return out.str();
}

std::string Number(double value) {
    std::ostringstream out;
    out << toml::value<double>(value);
    return out.str();
}

void WriteMqtt(std::ostringstream& out, const MqttConfig& mqtt) {
    out << "\n[mqtt]\nhost = " << Quoted(mqtt.host) << "\nport = " << mqtt.port
        << "\nclient_id = " << Quoted(mqtt.clientId) << "\n";
    if (!mqtt.username.empty()) out << "username = " << Quoted(mqtt.username) << "\n";
    if (!mqtt.passwordFile.empty())
        out << "# its first line is the password; readable by root alone\npassword_file = "
            << Quoted(mqtt.passwordFile) << "\n";
    out << "topic_prefix = " << Quoted(mqtt.topicPrefix)
        << "\ndiscovery_prefix = " << Quoted(mqtt.discoveryPrefix) << "\n";
}

void WriteWeb(std::ostringstream& out, const WebConfig& web) {
    out << "\n[web]\nlisten = " << Quoted(web.listen)
        << "\nread_access = " << Quoted(web.readOpen ? "open" : "password") << "\n";
    if (!web.viewerPasswordHash.empty())
        out << "viewer_password_hash = " << Quoted(web.viewerPasswordHash) << "\n";
    out << "# empty: nobody may change anything\nadmin_password_hash = "
        << Quoted(web.adminPasswordHash) << "\n";
}

void WriteBus(std::ostringstream& out, const BusConfig& bus) {
    out << "\n[[bus]]\nport = " << Quoted(bus.port) << "\nbaud = " << bus.baud << "\ndevices = [\n";
    for (const DeviceConfig& device : bus.devices) {
        out << "    { address = " << static_cast<int>(device.address)
            << ", name = " << Quoted(device.name);
        if (device.allowControl) out << ", allow_control = true";
        out << " },\n";
    }
    out << "]\n";
}

}  // namespace

std::string BridgeConfigToml(const BridgeConfig& config, const std::string& heading) {
    std::ostringstream out;
    std::istringstream lines(heading);
    for (std::string line; std::getline(lines, line);)
        out << (line.empty() ? "#" : "# " + line) << "\n";
    if (!heading.empty()) out << "\n";
    out << "poll_interval_s = " << Number(config.pollIntervalS) << "\n";
    if (config.mqtt) WriteMqtt(out, *config.mqtt);
    if (config.web) WriteWeb(out, *config.web);
    out << "\n[history]\n";
    if (!config.history.dir.empty()) out << "dir = " << Quoted(config.history.dir) << "\n";
    out << "interval_s = " << config.history.intervalS
        << "\nkeep_days = " << config.history.keepDays << "\n";
    for (const BusConfig& bus : config.buses)
        WriteBus(out, bus);
    return out.str();
}

}  // namespace kestrane::bridge
