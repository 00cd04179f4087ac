#include "SetupCommand.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "SetupFiles.h"
#include "SetupPrompter.h"
#include "SetupQuestions.h"
#include "SetupSearch.h"
#include "bridge/BridgeConfigToml.h"
#include "bridge/ConfigSummary.h"

namespace kestrane::bridge {

namespace {

constexpr const char* kHeading =
    "kestrane-bridge configuration, written by kestrane-bridge setup.\n"
    "Check it after a change with: kestrane-bridge --config FILE --check-config\n"
    "Every key is described in the package's example, bridge.example.toml.";

void Say(const char* text) {
    std::fprintf(stderr, "kestrane-bridge setup: %s\n", text);
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "this-machine";
    return name;
}

// Whether the config's folder, or the nearest folder above it that exists,
// may be written: told before the search rather than after the questions.
bool MayWriteBeside(const std::string& path) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code code;
    while (!folder.empty() && !std::filesystem::exists(folder, code) &&
           folder != folder.root_path())
        folder = folder.parent_path();
    return ::access(folder.c_str(), W_OK) == 0;
}

// Writes the secret, saves the old config, writes the new one. False with
// the reason printed.
bool WriteFiles(const SetupOptions& options, const SetupAnswers& answers, bool exists) {
    std::string error;
    if (exists) {
        const std::string saved = SaveBeside(options.config, &error);
        if (saved.empty()) {
            Say(("cannot save the old configuration: " + error).c_str());
            return false;
        }
        std::printf("Saved the old configuration as %s\n", saved.c_str());
    }
    if (!answers.mqttPassword.empty()) {
        const std::string& file = answers.config.mqtt->passwordFile;
        if (!WriteSecretFile(file, answers.mqttPassword + "\n", &error)) {
            Say(("cannot write the MQTT password: " + error).c_str());
            return false;
        }
        std::printf("Wrote the MQTT password to %s (only its owner may read it)\n", file.c_str());
    }
    if (!WriteTextFile(options.config, BridgeConfigToml(answers.config, kHeading), &error)) {
        Say(("cannot write the configuration: " + error).c_str());
        return false;
    }
    std::printf("Wrote %s\n", options.config.c_str());
    return true;
}

void PrintNextSteps(const SetupOptions& options, const SetupAnswers& answers) {
    std::puts("\nStart the bridge now and at every boot:");
    std::puts("    sudo systemctl enable --now kestrane-bridge");
    std::puts("Follow what it does (Ctrl-C leaves it running):");
    std::puts("    journalctl -fu kestrane-bridge");
    if (options.config != kDefaultConfigPath)
        std::printf(
            "The service reads %s; to run this file instead:\n    kestrane-bridge --config %s\n",
            kDefaultConfigPath, options.config.c_str());
    if (answers.webPort != 0)
        std::printf("The dashboard: http://%s:%d/ (or this machine's address)%s\n",
                    HostName().c_str(), answers.webPort,
                    answers.config.web->adminPasswordHash.empty()
                        ? ""
                        : "; log in with the admin password to change settings");
}

}  // namespace

int RunSetup(SetupOptions options) {
    options.config = std::filesystem::absolute(options.config).lexically_normal().string();
    std::error_code code;
    const bool exists = std::filesystem::exists(options.config, code);
    if (exists && !options.force) {
        std::fprintf(stderr,
                     "kestrane-bridge setup: %s exists; nothing written (--force replaces it, "
                     "keeping the old one beside it)\n",
                     options.config.c_str());
        return kSetupNotDone;
    }
    if (!MayWriteBeside(options.config)) {
        std::fprintf(stderr,
                     "kestrane-bridge setup: you may not write %s; nothing written (run it with "
                     "sudo)\n",
                     options.config.c_str());
        return kSetupFailed;
    }
    SetupPrompter prompter;
    SetupPrompter* asking = options.yes ? nullptr : &prompter;
    try {
        std::vector<PortInfo> ports = ListPorts(options);
        if (asking != nullptr && !ports.empty()) ports = ChoosePorts(ports, *asking);
        const std::vector<FoundBus> buses = SearchPorts(ports, options);
        if (buses.empty()) {
            Say("no controller found; nothing written. Check the wiring and the adapter, try "
                "--full, or kestrane-cli doctor --port PORT");
            return kSetupNoController;
        }
        const SetupAnswers answers = AskAnswers(buses, options, asking);
        if (asking != nullptr && !asking->AskYesNo("Write " + options.config + "?", true)) {
            Say("nothing written");
            return kSetupNotDone;
        }
        if (!WriteFiles(options, answers, exists)) return kSetupFailed;

        const ConfigLoad check = LoadBridgeConfig(options.config);
        for (const std::string& warning : check.warnings)
            std::printf("warning: %s\n", warning.c_str());
        if (!check.config) {
            Say(("the written configuration does not pass the check: " + check.error).c_str());
            return kSetupFailed;
        }
        std::printf("Checked: %s\n", ConfigSummary(options.config, *check.config).c_str());
        PrintNextSteps(options, answers);
        return kSetupWritten;
    } catch (const EndOfInput&) {
        Say("the input ended before every question was answered; nothing written");
        return kSetupNotDone;
    } catch (const SetupError& error) {
        Say((std::string(error.what()) + "; nothing written").c_str());
        return kSetupNotDone;
    }
}

}  // namespace kestrane::bridge
