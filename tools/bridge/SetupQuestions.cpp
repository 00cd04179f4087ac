#include "SetupQuestions.h"

#include <cstdio>
#include <filesystem>

#include "SetupFiles.h"
#include "web/PasswordHash.h"

namespace kestrane::bridge {

namespace {

constexpr int kDefaultWebPort = 8080;

std::string FirstLineOf(const std::string& path) {
    std::string line;
    std::string error;
    if (!ReadFirstLine(path, &line, &error)) throw SetupError(error);
    return line;
}

BusConfig AskBus(const FoundBus& found, const SetupOptions& options, SetupPrompter* prompter) {
    BusConfig bus;
    bus.port = found.configPort;
    bus.baud = found.scan.baud;
    for (const FoundController& controller : found.scan.controllers) {
        DeviceConfig device;
        device.address = static_cast<uint8_t>(controller.address);
        device.name = DefaultControllerName(controller);
        device.allowControl = options.allowControl;
        if (prompter != nullptr) {
            std::printf("Address %d on %s: %s, serial %s\n", controller.address,
                        found.configPort.c_str(),
                        controller.model.empty() ? "?" : controller.model.c_str(),
                        controller.serialNumber.empty() ? "?" : controller.serialNumber.c_str());
            device.name = prompter->Ask("  Name", device.name);
            device.allowControl = prompter->AskYesNo(
                "  Allow control of its load mode and clock (MQTT, the web page's admin)?", false);
        }
        bus.devices.push_back(std::move(device));
    }
    return bus;
}

std::optional<WebConfig> AskWeb(const SetupOptions& options, SetupPrompter* prompter, int* port) {
    std::string password;
    if (prompter == nullptr) {
        if (options.webPort == 0) return std::nullopt;
        *port = options.webPort;
        if (!options.adminPasswordFile.empty()) password = FirstLineOf(options.adminPasswordFile);
    } else {
        if (!prompter->AskYesNo("Serve the web page (live values, charts; settings for an admin)?",
                                true))
            return std::nullopt;
        *port = prompter->AskNumber("  Port", kDefaultWebPort, 1, 65535);
        password =
            prompter->AskPassword("  Admin password (Enter for none: nobody can change settings)");
    }
    WebConfig web;
    web.listen = "0.0.0.0:" + std::to_string(*port);
    if (!password.empty()) {
        const std::optional<std::string> hash = web::HashPassword(password);
        if (!hash) throw SetupError("hashing the admin password failed");
        web.adminPasswordHash = *hash;
    }
    return web;
}

std::optional<MqttConfig> AskMqtt(const SetupOptions& options, SetupPrompter* prompter,
                                  std::string* password) {
    MqttConfig mqtt;
    if (prompter == nullptr) {
        if (options.mqttHost.empty()) return std::nullopt;
        mqtt.host = options.mqttHost;
        mqtt.port = options.mqttPort;
        mqtt.username = options.mqttUser;
        if (!options.mqttPasswordFile.empty()) *password = FirstLineOf(options.mqttPasswordFile);
    } else {
        if (!prompter->AskYesNo("Publish to an MQTT broker (Home Assistant)?", false))
            return std::nullopt;
        mqtt.host = prompter->Ask("  Broker host", mqtt.host);
        mqtt.port = prompter->AskNumber("  Broker port", mqtt.port, 1, 65535);
        mqtt.username = prompter->Ask("  User name (Enter for none)", "");
        *password = prompter->AskPassword("  Password (Enter for none)");
    }
    if (!password->empty()) mqtt.passwordFile = PasswordFileBeside(options.config);
    return mqtt;
}

}  // namespace

std::string PasswordFileBeside(const std::string& configPath) {
    return (std::filesystem::path(configPath).parent_path() / "mqtt.pass").string();
}

SetupAnswers AskAnswers(const std::vector<FoundBus>& buses, const SetupOptions& options,
                        SetupPrompter* prompter) {
    SetupAnswers answers;
    for (const FoundBus& found : buses)
        answers.config.buses.push_back(AskBus(found, options, prompter));
    answers.config.web = AskWeb(options, prompter, &answers.webPort);
    answers.config.mqtt = AskMqtt(options, prompter, &answers.mqttPassword);
    answers.config.history.dir = options.historyDir;
    return answers;
}

}  // namespace kestrane::bridge
