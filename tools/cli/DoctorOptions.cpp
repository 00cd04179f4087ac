#include "DoctorOptions.h"

#include <CLI/CLI.hpp>

#include "CliOptions.h"

namespace kestrane::cli {

CLI::App* AddPortsCommand(CLI::App& app, CliOptions& options) {
    CLI::App* ports = app.add_subcommand(
        "ports", "list the serial ports: USB identity, driver, access, and who holds them");
    ports->add_option("--port", options.doctor.extraPorts,
                      "also describe this path (a pseudo-terminal, a link); repeatable");
    ports->add_flag("--json", options.doctor.json, "one JSON document instead of text");
    return ports;
}

CLI::App* AddDoctorCommand(CLI::App& app, CliOptions& options) {
    DoctorCliOptions& doctor = options.doctor;
    CLI::App* command = app.add_subcommand(
        "doctor", "find out why the controller does not answer; only ever reads from it");
    command->add_option("--port", options.port, "serial device, e.g. /dev/ttyUSB0")->required();
    command->add_option("--baud", options.baud, "line rate the controller should have")
        ->capture_default_str()
        ->check(CLI::Range(1u, 4000000u));
    command->add_option("--address", doctor.address, "bus address the controller should have")
        ->capture_default_str()
        ->check(CLI::Range(1, 247));
    command->add_option("--cycles", doctor.cycles, "read cycles of the quality run")
        ->capture_default_str()
        ->check(CLI::Range(1, 100000));
    command
        ->add_option("--search-seconds", doctor.searchSeconds,
                     "bound of the search over addresses and rates")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 3600.0));
    command
        ->add_option("--response-timeout-ms", doctor.responseTimeoutMs,
                     "wait for a reply to start, outside the search")
        ->capture_default_str()
        ->check(CLI::Range(1, 60000));
    command
        ->add_option("--probe-wait-ms", doctor.probeWaitMs,
                     "least wait for a search probe's reply to start (slow adapters)")
        ->capture_default_str()
        ->check(CLI::Range(1, 10000));
    command->add_flag("--json", doctor.json, "one JSON document with every step");
    command->add_flag("--trace", doctor.trace,
                      "every frame both ways: time, hex, address, function, registers, CRC");
    return command;
}

}  // namespace kestrane::cli
