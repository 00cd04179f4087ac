#include "app/MonitorOptions.h"

namespace kestrane {

const char* MonitorUsage() {
    return "Usage: kestrane-monitor [OPTION]...\n"
           "Monitor and configure an MPPT solar charge controller on a serial line.\n"
           "\n"
           "  --port PATH     add a port that discovery cannot see (a pseudo-terminal,\n"
           "                  a network serial bridge) to the top of the port list and\n"
           "                  select it; may be given more than once\n"
           "  --demo          run against a simulated controller inside the program\n"
           "  --log-dir DIR   write the daily event log into DIR (created when missing)\n"
           "                  instead of the default folder\n"
           "  --help          print this help and exit\n"
           "  --version       print the version and exit\n"
           "\n"
           "The daily event log goes to the current directory when the program runs\n"
           "from a folder it may write (a build tree, an unpacked copy); an installed\n"
           "program writes it to $XDG_DATA_HOME/kestrane/logs/ (~/.local/share/...).\n";
}

namespace {

MonitorOptions Only(MonitorOptions::Action action) {
    MonitorOptions options;
    options.action = action;
    return options;
}

}  // namespace

MonitorOptions ParseMonitorOptions(const std::vector<std::string>& args) {
    MonitorOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") return Only(MonitorOptions::Action::kHelp);
        if (arg == "--version") return Only(MonitorOptions::Action::kVersion);
        if (options.action == MonitorOptions::Action::kError) continue;
        const bool takesValue = arg == "--port" || arg == "--log-dir";
        if (takesValue && (i + 1 >= args.size() || args[i + 1].empty())) {
            options.action = MonitorOptions::Action::kError;
            options.error = arg + " needs a value";
        } else if (arg == "--port") {
            options.ports.push_back(args[++i]);
        } else if (arg == "--log-dir") {
            options.logDir = args[++i];
        } else if (arg == "--demo") {
            options.demo = true;
        } else {
            options.action = MonitorOptions::Action::kError;
            options.error = "unknown option " + arg;
        }
    }
    return options;
}

}  // namespace kestrane
