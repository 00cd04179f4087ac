#include "sim/SimulatorOptions.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace kestrane::sim {

namespace {

enum class Kind { kInt, kUnsigned, kDouble, kProbability, kText, kFlag, kDate };

struct OptionSpec {
    std::string_view name;
    Kind kind;
    double min;
    double max;
};

constexpr OptionSpec kOptions[] = {
    {"--address", Kind::kInt, 1, 247},
    {"--baud", Kind::kUnsigned, 50, 4000000},
    {"--seed", Kind::kUnsigned, 0, 4294967295.0},
    {"--day-seconds", Kind::kDouble, 0, 1e9},
    {"--link", Kind::kText, 0, 0},
    {"--start", Kind::kDate, 0, 0},
    {"--drop", Kind::kProbability, 0, 1},
    {"--corrupt", Kind::kProbability, 0, 1},
    {"--exception", Kind::kProbability, 0, 1},
    {"--wrong-echo", Kind::kProbability, 0, 1},
    {"--split", Kind::kProbability, 0, 1},
    {"--noise", Kind::kProbability, 0, 1},
    {"--delay", Kind::kInt, 0, 60000},
    {"--pace", Kind::kFlag, 0, 0},
    {"--ignore-aa", Kind::kFlag, 0, 0},
    {"--hangup-after", Kind::kInt, 0, 1e9},
};

bool ParseNumber(const std::string& text, double* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return errno == 0 && end == text.c_str() + text.size();
}

void Store(std::string_view name, double number, const std::string& text, SimulatorOptions* o) {
    if (name == "--address") o->address = static_cast<int>(number);
    if (name == "--baud") o->baud = static_cast<unsigned>(number);
    if (name == "--seed") o->seed = static_cast<uint32_t>(number);
    if (name == "--day-seconds") o->daySeconds = number;
    if (name == "--link") o->linkPath = text;
    if (name == "--drop") o->drop = number;
    if (name == "--corrupt") o->corrupt = number;
    if (name == "--exception") o->exception = number;
    if (name == "--wrong-echo") o->wrongEcho = number;
    if (name == "--split") o->split = number;
    if (name == "--noise") o->noise = number;
    if (name == "--delay") o->delayMs = static_cast<int>(number);
    if (name == "--pace") o->pace = true;
    if (name == "--ignore-aa") o->ignoreAa = true;
    if (name == "--hangup-after") o->hangupAfter = static_cast<int>(number);
}

}  // namespace

bool ParseSimulatorOptions(int argc, const char* const* argv, SimulatorOptions* options, bool* help,
                           std::string* error) {
    *help = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool inlineValue = false;
        if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            inlineValue = true;
        }
        if (arg == "--help" || arg == "-h") {
            *help = true;
            return true;
        }
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& candidate : kOptions) {
            if (candidate.name == arg) spec = &candidate;
        }
        if (spec == nullptr) {
            *error = "unknown option " + arg;
            return false;
        }
        if (spec->kind == Kind::kFlag) {
            if (inlineValue) {
                *error = arg + " takes no value";
                return false;
            }
            Store(spec->name, 0, {}, options);
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= argc) {
                *error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (spec->kind == Kind::kText) {
            Store(spec->name, 0, value, options);
            continue;
        }
        if (spec->kind == Kind::kDate) {
            if (!SimDateTime::Parse(value, &options->start)) {
                *error = arg + " wants YYYY-MM-DDTHH:MM:SS, not " + value;
                return false;
            }
            continue;
        }
        double number = 0;
        const bool whole = spec->kind == Kind::kInt || spec->kind == Kind::kUnsigned;
        if (!ParseNumber(value, &number) || number < spec->min || number > spec->max ||
            (whole && number != static_cast<double>(static_cast<long long>(number)))) {
            *error = "bad value for " + arg + ": " + value;
            return false;
        }
        Store(spec->name, number, value, options);
    }
    return true;
}

std::string SimulatorUsage() {
    return R"(usage: kestrane-sim [options]
Simulates an MPPT solar charge controller: a Modbus RTU slave on a
pseudo-terminal. Prints the device path on the first line of its output and
serves until interrupted (or until --hangup-after closes the line).

  --address N        bus address, 1..247 (default 1)
  --baud B           line speed for --pace and the frame gap (default 9600)
  --seed S           seed of weather, noise and faults (default 1)
  --day-seconds N    real seconds per simulated day (default 600; 0 stops time)
  --start T          simulated start, YYYY-MM-DDTHH:MM:SS (default 2026-06-01T07:30:00)
  --link PATH        also make a symlink PATH to the pseudo-terminal

Fault injection (P is a probability 0..1 per request):
  --drop P           the request is lost: no reply
  --corrupt P        reply with a bad CRC
  --exception P      exception reply (server device failure) instead of acting
  --wrong-echo P     a write is acknowledged with the next register's number
  --split P          reply sent in 2-4 pieces, 10-30 ms apart
  --noise P          1-8 garbage bytes on the line 60 ms after the reply
  --delay MS         every reply MS milliseconds late
  --pace             bytes take their wire time at the baud rate
  --ignore-aa        leave the 0xAA battery-type frame unanswered
  --hangup-after N   close the line after N requests, like an unplugged adapter
  --help             this text
)";
}

}  // namespace kestrane::sim
