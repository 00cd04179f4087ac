// The command lines of `kestrane-cli ports` and `kestrane-cli doctor`.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace kestrane::cli {

struct CliOptions;

struct DoctorCliOptions {
    std::vector<std::string> extraPorts;  // ports: pseudo-terminals and other paths to describe
    int address = 1;
    int cycles = 50;
    double searchSeconds = 55;
    int responseTimeoutMs = 300;
    int probeWaitMs = 40;
    bool json = false;
    bool trace = false;
};

// Each registers its subcommand and options on `app` and returns it.
CLI::App* AddPortsCommand(CLI::App& app, CliOptions& options);
CLI::App* AddDoctorCommand(CLI::App& app, CliOptions& options);

}  // namespace kestrane::cli
