#include "SettingsCommand.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>

#include "CliOptions.h"
#include "Commands.h"
#include "profile/ProfileBackup.h"
#include "profile/SettingsCommands.h"
#include "serial/CSerialPort.h"

namespace kestrane::cli {

namespace {

using Action = SettingsOptions::Action;

void AddAddresses(CLI::App& command, CliOptions& options, bool several) {
    auto* option = command.add_option("--address", options.addresses,
                                      several ? "bus addresses, e.g. 1,2,7" : "bus address");
    if (several) option->delimiter(',');
    option->capture_default_str()->check(CLI::Range(1, 247));
    if (!several) option->expected(1);
}

void AddLanguage(CLI::App& command, SettingsOptions& settings) {
    command.add_option("--lang", settings.language, "language of the messages about the profile")
        ->capture_default_str()
        ->check(CLI::IsMember({"en", "zh"}));
}

// A profile is a few kilobytes; anything much larger (a device, a wrong
// file) is refused before it is read into memory whole.
constexpr std::streamsize kLargestProfile = 1 << 20;

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "kestrane-cli: cannot read %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return std::nullopt;
    }
    std::string text(static_cast<size_t>(kLargestProfile) + 1, '\0');
    in.read(text.data(), kLargestProfile + 1);
    if (in.bad()) {
        std::fprintf(stderr, "kestrane-cli: cannot read %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return std::nullopt;
    }
    if (in.gcount() > kLargestProfile) {
        std::fprintf(stderr, "kestrane-cli: %s is larger than a profile can be (1 MiB)\n",
                     path.c_str());
        return std::nullopt;
    }
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

// A yes on the terminal; nothing when standard input is not one.
std::optional<bool> AskOnTerminal(const std::string& question) {
    if (!::isatty(STDIN_FILENO)) return std::nullopt;
    std::cerr << question << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes";
}

}  // namespace

CLI::App* AddSettingsCommand(CLI::App& app, CliOptions& options) {
    SettingsOptions& settings = options.settings;
    CLI::App* command = app.add_subcommand(
        "settings", "export, compare and apply a controller's battery and load settings");
    command->require_subcommand(1);
    // Set before the subcommands are added, so that they show it too.
    command->footer(
        "exit status: 0 done, equal, or applied and read back; 1 diff: differs, apply: a write "
        "failed\n             or did not take; 2 bad profile or command line, other model, no "
        "backup, not\n             confirmed; 3 a controller did not answer");

    CLI::App* exportCommand =
        command->add_subcommand("export", "write the controllers' settings as JSON profiles");
    AddLineOptions(*exportCommand, options);
    AddAddresses(*exportCommand, options, true);
    exportCommand->add_option("-o,--output", settings.file,
                              "profile file (several addresses: FILE-<address>); default stdout");

    CLI::App* diff = command->add_subcommand(
        "diff", "one line per field the controller holds otherwise: name: controller → profile");
    diff->add_option("FILE", settings.file, "profile")->required();
    AddLineOptions(*diff, options);
    AddAddresses(*diff, options, false);
    AddLanguage(*diff, settings);

    CLI::App* apply = command->add_subcommand(
        "apply", "check a profile, back the controllers up, write what differs, read it back");
    apply->add_option("FILE", settings.file, "profile")->required();
    AddLineOptions(*apply, options);
    AddAddresses(*apply, options, true);
    AddLanguage(*apply, settings);
    apply->add_flag("--yes", settings.yes, "write without asking");
    apply->add_flag("--dry-run", settings.dryRun,
                    "check, back up and show the frames it would send; write nothing");
    apply->add_flag("--force", settings.force, "apply a profile made for another model");
    return command;
}

bool SettingsParsed(CLI::App* settings, CliOptions& options) {
    if (!settings->parsed()) return false;
    options.command = Command::kSettings;
    if (settings->get_subcommand("diff")->parsed()) {
        options.settings.action = Action::kDiff;
    } else if (settings->get_subcommand("apply")->parsed()) {
        options.settings.action = Action::kApply;
    } else {
        options.settings.action = Action::kExport;
    }
    return true;
}

int RunSettings(const CliOptions& options) {
    const SettingsOptions& settings = options.settings;
    profile::SettingsRun run;
    run.addresses = options.addresses;
    run.english = settings.language == "en";
    run.yes = settings.yes;
    run.dryRun = settings.dryRun;
    run.force = settings.force;
    run.profileName = settings.file;
    run.now = std::time(nullptr);
    run.confirm = AskOnTerminal;

    std::optional<std::string> profileText;
    if (settings.action == Action::kExport) {
        run.outputPath = settings.file;
    } else if (!(profileText = ReadFile(settings.file))) {
        return kExitUsage;
    }
    if (settings.action == Action::kApply) {
        run.backupDirectory =
            profile::BackupDirectory(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
        if (run.backupDirectory.empty()) {
            std::fprintf(stderr, "kestrane-cli: no place for backups: set HOME or XDG_DATA_HOME\n");
            return kExitUsage;
        }
    }

    CSerialPort port;
    if (!OpenConfiguredPort(port, options)) return kExitPort;
    SteadyBusClock clock;
    BusOptions busOptions;
    busOptions.baud = options.baud;
    CBusMaster bus(port, busOptions, clock);
    switch (settings.action) {
        case Action::kExport:
            return profile::ExportSettings(bus, run, std::cout, std::cerr);
        case Action::kDiff:
            return profile::DiffSettings(bus, *profileText, run, std::cout, std::cerr);
        case Action::kApply:
            return profile::ApplySettings(bus, *profileText, run, std::cout, std::cerr);
    }
    return kExitUsage;
}

}  // namespace kestrane::cli
