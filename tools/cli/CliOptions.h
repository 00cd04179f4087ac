// The command line of kestrane-cli.
#pragma once

#include <string>
#include <vector>

#include "DoctorOptions.h"
#include "HistoryCommand.h"
#include "SettingsCommand.h"

namespace kestrane::cli {

enum class Command { kRead, kWatch, kPorts, kDoctor, kSettings, kHistory };

struct CliOptions {
    Command command = Command::kRead;
    std::string port;
    unsigned baud = 9600;
    // read: the devices of one sweep, in order; watch: the first one.
    std::vector<int> addresses{1};
    // read: the bound of the whole run, the wait for a reply to start, the
    // further attempts after a failed one, the sweeps, and cycle times at the end.
    double timeoutSeconds = 10;
    int responseTimeoutMs = 300;
    int interCharacterTimeoutMs = 0;  // 0: from the rate
    int retries = 2;
    int count = 1;
    // watch: texts in English (else Chinese); stop after this many seconds
    // (0 runs until interrupted). Both: print link figures at the end.
    bool english = true;
    double seconds = 0;
    bool stats = false;
    // ports and doctor.
    DoctorCliOptions doctor;
    SettingsOptions settings;
    HistoryOptions history;
};

// --port and --baud of a command that talks to the controller.
void AddLineOptions(CLI::App& command, CliOptions& options);

inline constexpr int kParsed = -1;

// Fills `options` from the command line and returns kParsed; or prints the
// help (exit status 0) or the parser's message for a bad command line
// (status 2) and returns that status.
int ParseCommandLine(int argc, const char* const* argv, CliOptions& options);

}  // namespace kestrane::cli
