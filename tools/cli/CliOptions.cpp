#include "CliOptions.h"

#include <CLI/CLI.hpp>
#include <cmath>

#include "Commands.h"
#include "platform/BuildInfo.h"

namespace kestrane::cli {

namespace {

constexpr const char* kExitStatuses =
    "exit status: 0 done; 2 bad command line, or the port cannot be opened or configured;\n"
    "             3 read: some device or block never answered, or the line was closed;\n"
    "             4 watch: the line was closed (the device hung up)\n"
    "             doctor: 0 healthy; 1 something was wrong, the controller found;\n"
    "             2 the port cannot be used; 3 no controller answered\n"
    "             history: 2 a bad date, an unknown controller or nothing in the folder";

// Seconds that a clock can count to: finite, at most a year, and above 0
// unless `zeroAllowed`.
CLI::Validator Seconds(bool zeroAllowed) {
    return CLI::Validator(
        [zeroAllowed](const std::string& text) -> std::string {
            double value = 0;
            const bool number = CLI::detail::lexical_cast(text, value) && std::isfinite(value);
            if (!number || value < 0 || (value == 0 && !zeroAllowed) || value > 366.0 * 24 * 3600)
                return zeroAllowed ? "expected seconds from 0 to one year, got " + text
                                   : "expected seconds above 0 up to one year, got " + text;
            return {};
        },
        "SECONDS");
}

}  // namespace

void AddLineOptions(CLI::App& command, CliOptions& options) {
    command.add_option("--port", options.port, "serial device, e.g. /dev/ttyUSB0")->required();
    command.add_option("--baud", options.baud, "line rate")
        ->capture_default_str()
        ->check(CLI::Range(1u, 4000000u));
}

int ParseCommandLine(int argc, const char* const* argv, CliOptions& options) {
    CLI::App app{"kestrane-cli: headless access to the charge controller", "kestrane-cli"};
    app.footer(kExitStatuses);
    app.set_version_flag("--version", std::string("kestrane-cli ") + kProgramVersion);
    app.require_subcommand(1);

    CLI::App* read = app.add_subcommand(
        "read", "read every block of each device and print one JSON object per device and cycle");
    AddLineOptions(*read, options);
    read->add_option("--address", options.addresses, "bus addresses, e.g. 1,2,7")
        ->delimiter(',')
        ->capture_default_str()
        ->check(CLI::Range(1, 247));
    read->add_option("--timeout", options.timeoutSeconds, "bound of the whole run, in seconds")
        ->capture_default_str()
        ->check(Seconds(false));
    read->add_option("--response-timeout-ms", options.responseTimeoutMs,
                     "wait for a reply to start")
        ->capture_default_str()
        ->check(CLI::Range(1, 60000));
    read->add_option("--inter-char-timeout-ms", options.interCharacterTimeoutMs,
                     "pause that ends a reply as broken (0: 1.5 characters, at least 20 ms)")
        ->capture_default_str()
        ->check(CLI::Range(0, 10000));
    read->add_option("--retries", options.retries, "further attempts after a failed one")
        ->capture_default_str()
        ->check(CLI::Range(0, 100));
    read->add_option("--count", options.count, "cycles over all addresses")
        ->capture_default_str()
        ->check(CLI::Range(1, 1000000));
    read->add_flag("--stats", options.stats,
                   "print min/median/max cycle time on stderr at the end");

    int watchAddress = 1;
    std::string language = "en";
    CLI::App* watch =
        app.add_subcommand("watch", "print the live values once a second until interrupted");
    AddLineOptions(*watch, options);
    watch->add_option("--address", watchAddress, "bus address")
        ->capture_default_str()
        ->check(CLI::Range(1, 247));
    watch->add_option("--lang", language, "language of the texts")
        ->capture_default_str()
        ->check(CLI::IsMember({"en", "zh"}));
    watch->add_option("--seconds", options.seconds, "stop after this long (0: never)")
        ->capture_default_str()
        ->check(Seconds(true));
    watch->add_flag("--stats", options.stats, "print link figures on stderr at the end");

    CLI::App* ports = AddPortsCommand(app, options);
    CLI::App* doctor = AddDoctorCommand(app, options);
    CLI::App* settings = AddSettingsCommand(app, options);
    CLI::App* history = AddHistoryCommand(app, options);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? kExitDone : kExitUsage;
    }
    if (SettingsParsed(settings, options)) return kParsed;
    if (watch->parsed()) {
        options.command = Command::kWatch;
        options.addresses = {watchAddress};
        options.english = language == "en";
    } else if (ports->parsed()) {
        options.command = Command::kPorts;
    } else if (doctor->parsed()) {
        options.command = Command::kDoctor;
    } else if (history->parsed()) {
        options.command = Command::kHistory;
    } else {
        options.command = Command::kRead;
    }
    return kParsed;
}

}  // namespace kestrane::cli
