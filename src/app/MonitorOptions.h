// The command line of kestrane-monitor. Standard C++ only, so that --help and
// --version answer before any display is opened.
#pragma once

#include <string>
#include <vector>

namespace kestrane {

struct MonitorOptions {
    enum class Action { kRun, kHelp, kVersion, kError };

    Action action = Action::kRun;
    std::vector<std::string> ports;  // --port PATH, in the order given
    bool demo = false;
    std::string logDir;  // --log-dir DIR; empty: the default folder
    std::string error;   // with kError: what was wrong
};

// Parses the arguments after the program name. --help and --version win
// over everything else on the line, so they answer even beside an option
// this parser does not know (one of the toolkit's own).
MonitorOptions ParseMonitorOptions(const std::vector<std::string>& args);

// The text of --help.
const char* MonitorUsage();

}  // namespace kestrane
