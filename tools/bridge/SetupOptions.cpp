#include "SetupOptions.h"

namespace kestrane::bridge {

CLI::App* AddSetupCommand(CLI::App& app, SetupOptions& options) {
    CLI::App* setup = app.add_subcommand(
        "setup",
        "guided setup: lists the serial ports, searches them for controllers (only reading from "
        "them), asks for names, control, the web page and MQTT, writes the configuration and "
        "checks it");
    setup->add_option("--config", options.config, "the file to write")
        ->default_str(kDefaultConfigPath)
        ->type_name("FILE");
    setup
        ->add_option("--port", options.ports,
                     "a port discovery cannot see (a pseudo-terminal, a link), repeatable; with "
                     "--yes only the ports given are searched")
        ->type_name("PATH");
    setup->add_flag("--yes", options.yes,
                    "ask nothing: take the answers from the options below, for scripts");
    setup->add_flag("--force", options.force,
                    "replace an existing file, first saved beside it as FILE.<YYYYmmdd-HHMMSS>");
    setup->add_flag("--full", options.full, "search all 247 addresses, not only 1 to 16 and 247");
    setup
        ->add_option("--search-seconds", options.searchSeconds,
                     "bound of each port's search (default 40, with --full 420)")
        ->check(CLI::Range(1.0, 3600.0))
        ->type_name("SECONDS");
    setup
        ->add_option("--probe-wait-ms", options.probeWaitMs,
                     "the least time a search probe waits for a reply to start (default 40; more "
                     "for a slow adapter or a busy machine)")
        ->check(CLI::Range(1, 2000))
        ->type_name("MS");
    setup->add_option("--web", options.webPort, "with --yes: serve the web page on this port")
        ->check(CLI::Range(1, 65535))
        ->type_name("PORT");
    setup
        ->add_option("--admin-password-file", options.adminPasswordFile,
                     "with --yes: the web page's admin password is this file's first line "
                     "(stored only as its Argon2id hash)")
        ->type_name("FILE");
    setup->add_option("--mqtt", options.mqttHost, "with --yes: publish to the broker on this host")
        ->type_name("HOST");
    setup->add_option("--mqtt-port", options.mqttPort, "with --yes: the broker's port (1883)")
        ->check(CLI::Range(1, 65535))
        ->type_name("PORT");
    setup->add_option("--mqtt-user", options.mqttUser, "with --yes: the broker's user name")
        ->type_name("USER");
    setup
        ->add_option("--mqtt-password-file", options.mqttPasswordFile,
                     "with --yes: the broker's password is this file's first line, copied into "
                     "mqtt.pass beside the config, readable by its owner alone")
        ->type_name("FILE");
    setup->add_flag("--allow-control", options.allowControl,
                    "with --yes: let MQTT and the web page's admin set the load mode and clock");
    setup
        ->add_option("--history-dir", options.historyDir,
                     "the folder of the bridge's history (default: the service's state folder)")
        ->type_name("DIR");
    setup->footer(
        "Without --yes every question has a default that Enter takes; at the end of input the "
        "setup stops and writes nothing.\n"
        "Exit status: 0 controllers found and the file written and checked, 1 the file could "
        "not be written or did not pass the check, 2 the file exists (without --force), a bad "
        "command line or unanswered questions, 3 no controller found (nothing written).");
    return setup;
}

}  // namespace kestrane::bridge
