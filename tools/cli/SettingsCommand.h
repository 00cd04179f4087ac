// kestrane-cli settings export|diff|apply: the command line of the settings
// profiles and the run that opens the port for them.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace kestrane::cli {

struct CliOptions;

struct SettingsOptions {
    enum class Action { kExport, kDiff, kApply };
    Action action = Action::kExport;
    std::string file;  // export: -o; diff and apply: the profile
    std::string language = "en";
    bool yes = false;
    bool dryRun = false;
    bool force = false;
};

// Adds `settings` with its three subcommands to `app`, storing into `options`.
CLI::App* AddSettingsCommand(CLI::App& app, CliOptions& options);

// After parsing: whether `settings` was given, with its action recorded.
bool SettingsParsed(CLI::App* settings, CliOptions& options);

int RunSettings(const CliOptions& options);

}  // namespace kestrane::cli
