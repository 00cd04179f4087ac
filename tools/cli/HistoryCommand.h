// kestrane-cli history: the bridge's history folder at a terminal or for a
// script: its controllers and their days, a controller's day totals, or a
// bucketed series of its values.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace kestrane::cli {

struct CliOptions;

struct HistoryOptions {
    std::string dir;
    std::string device;
    std::string from, to;  // YYYY-MM-DD, both included
    int buckets = 48;
    bool days = false;
    bool json = false;
    bool csv = false;
};

CLI::App* AddHistoryCommand(CLI::App& app, CliOptions& options);

int RunHistory(const CliOptions& options);

}  // namespace kestrane::cli
