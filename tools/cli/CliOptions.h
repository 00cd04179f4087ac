// The command line of kestrane-cli.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrane::cli {

enum class Command { kRead, kWatch, kHelp };

struct CliOptions {
    Command command = Command::kHelp;
    std::string port;
    unsigned baud = 9600;
    int address = 1;
    // read: give up after this many seconds.
    double timeoutSeconds = 10;
    // watch: texts in English (else Chinese); stop after this many seconds
    // (0 runs until interrupted); print link figures at the end.
    bool english = true;
    double seconds = 0;
    bool stats = false;
};

// The options, or nullopt with a one-line reason in `error`.
std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& args,
                                           std::string& error);

extern const char* const kUsage;

}  // namespace kestrane::cli
