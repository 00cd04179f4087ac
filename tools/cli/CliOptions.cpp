#include "CliOptions.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kestrane::cli {

const char* const kUsage =
    "usage: kestrane-cli read  --port PATH [--baud 9600] [--address 1] [--timeout 10]\n"
    "       kestrane-cli watch --port PATH [--baud 9600] [--address 1] [--lang en|zh]\n"
    "                          [--seconds N] [--stats]\n"
    "read   reads every block of the controller once and prints them as one JSON object\n"
    "watch  prints the live values once a second until interrupted\n"
    "exit status: 0 done, 1 bad command line, 2 port cannot be opened or configured,\n"
    "             3 no complete read within the timeout\n";

namespace {

template <typename T>
bool ParseNumber(const std::string& text, T& out) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end;
}

bool ParseSeconds(const std::string& text, double& out) {
    // from_chars for double is not in every standard library we build with.
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && std::isfinite(out) && out >= 0;
}

}  // namespace

std::optional<CliOptions> ParseCommandLine(const std::vector<std::string>& args,
                                           std::string& error) {
    CliOptions options;
    if (args.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    const std::string& command = args[0];
    if (command == "read") {
        options.command = Command::kRead;
    } else if (command == "watch") {
        options.command = Command::kWatch;
    } else if (command == "help" || command == "--help" || command == "-h") {
        options.command = Command::kHelp;
        return options;
    } else {
        error = "unknown command '" + command + "'";
        return std::nullopt;
    }

    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& flag = args[i];
        const bool isSwitch = flag == "--stats";
        if (!isSwitch && i + 1 >= args.size()) {
            error = "missing value after " + flag;
            return std::nullopt;
        }
        const std::string value = isSwitch ? std::string() : args[++i];
        bool ok = true;
        if (flag == "--port") {
            options.port = value;
            ok = !value.empty();
        } else if (flag == "--baud") {
            ok = ParseNumber(value, options.baud) && options.baud > 0;
        } else if (flag == "--address") {
            ok = ParseNumber(value, options.address) && options.address >= 1 &&
                 options.address <= 247;
        } else if (flag == "--timeout" && options.command == Command::kRead) {
            ok = ParseSeconds(value, options.timeoutSeconds) && options.timeoutSeconds > 0;
        } else if (flag == "--lang" && options.command == Command::kWatch) {
            ok = value == "en" || value == "zh";
            options.english = value == "en";
        } else if (flag == "--seconds" && options.command == Command::kWatch) {
            ok = ParseSeconds(value, options.seconds);
        } else if (flag == "--stats" && options.command == Command::kWatch) {
            options.stats = true;
        } else {
            error = "unknown option " + flag + " for " + command;
            return std::nullopt;
        }
        if (!ok) {
            error = "bad value '" + value + "' for " + flag;
            return std::nullopt;
        }
    }
    if (options.port.empty()) {
        error = "--port PATH is required";
        return std::nullopt;
    }
    return options;
}

}  // namespace kestrane::cli
