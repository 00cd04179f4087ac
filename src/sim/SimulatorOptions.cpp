#include "sim/SimulatorOptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <string_view>

namespace kestrane::sim {

namespace {

enum class Kind { kInt, kUnsigned, kDouble, kProbability, kText, kFlag, kDate, kAddressList };

struct OptionSpec {
    std::string_view name;
    Kind kind;
    double min;
    double max;
};

constexpr OptionSpec kOptions[] = {
    {"--address", Kind::kInt, 1, 247},
    {"--devices", Kind::kAddressList, 1, 247},
    {"--fault-device", Kind::kInt, 1, 247},
    {"--turnaround", Kind::kDouble, 0, 10000},
    {"--baud", Kind::kUnsigned, 50, 4000000},
    {"--seed", Kind::kUnsigned, 0, 4294967295.0},
    {"--day-seconds", Kind::kDouble, 0, 1e9},
    {"--link", Kind::kText, 0, 0},
    {"--tcp-listen", Kind::kText, 0, 0},  // [HOST:]PORT
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
    {"--refuse-writes", Kind::kFlag, 0, 0},
    {"--hangup-after", Kind::kInt, 0, 1e9},
    {"--strict-line", Kind::kFlag, 0, 0},
    {"--echo", Kind::kFlag, 0, 0},
    {"--registers-file", Kind::kText, 0, 0},
};

bool ParseNumber(const std::string& text, double* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return errno == 0 && end == text.c_str() + text.size();
}

void Store(std::string_view name, double number, const std::string& text, SimulatorOptions* o) {
    if (name == "--address") o->devices.push_back(static_cast<int>(number));
    if (name == "--fault-device") o->faultDevice = static_cast<int>(number);
    if (name == "--turnaround") o->turnaroundMs = number;
    if (name == "--baud") o->baud = static_cast<unsigned>(number);
    if (name == "--seed") o->seed = static_cast<uint32_t>(number);
    if (name == "--day-seconds") o->daySeconds = number;
    if (name == "--link") o->linkPath = text;
    if (name == "--tcp-listen") o->tcpListen = text;
    if (name == "--drop") o->drop = number;
    if (name == "--corrupt") o->corrupt = number;
    if (name == "--exception") o->exception = number;
    if (name == "--wrong-echo") o->wrongEcho = number;
    if (name == "--split") o->split = number;
    if (name == "--noise") o->noise = number;
    if (name == "--delay") o->delayMs = static_cast<int>(number);
    if (name == "--pace") o->pace = true;
    if (name == "--ignore-aa") o->ignoreAa = true;
    if (name == "--refuse-writes") o->refuseWrites = true;
    if (name == "--hangup-after") o->hangupAfter = static_cast<int>(number);
    if (name == "--strict-line") o->strictLine = true;
    if (name == "--echo") o->echo = true;
    if (name == "--registers-file") o->registersFile = text;
}

bool IsWhole(double number) {
    return number == static_cast<double>(static_cast<long long>(number));
}

// Appends the comma-separated addresses of `text` to `devices`.
bool ParseAddressList(const std::string& text, std::vector<int>* devices) {
    std::stringstream items(text);
    std::string item;
    int count = 0;
    while (std::getline(items, item, ',')) {
        double number = 0;
        if (!ParseNumber(item, &number) || number < 1 || number > 247 || !IsWhole(number))
            return false;
        devices->push_back(static_cast<int>(number));
        ++count;
    }
    return count > 0 && text.back() != ',';
}

// "[HOST:]PORT" of --tcp-listen into the options.
bool ParseListen(SimulatorOptions* options, std::string* error) {
    if (options->tcpListen.empty()) return true;
    const std::string& text = options->tcpListen;
    const size_t colon = text.rfind(':');
    const std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
    double number = 0;
    if (!ParseNumber(port, &number) || number < 0 || number > 65535 || !IsWhole(number) ||
        colon == 0) {
        *error = "--tcp-listen wants [HOST:]PORT with a port 0..65535, not " + text;
        return false;
    }
    if (colon != std::string::npos) options->tcpListenHost = text.substr(0, colon);
    options->tcpListenPort = static_cast<int>(number);
    if (!options->linkPath.empty()) {
        *error = "--link and --tcp-listen exclude each other";
        return false;
    }
    return true;
}

// Checks the line as a whole once every option is in.
bool CheckBus(SimulatorOptions* options, std::string* error) {
    if (!ParseListen(options, error)) return false;
    std::vector<int>& devices = options->devices;
    for (size_t i = 0; i < devices.size(); ++i) {
        if (std::find(devices.begin(), devices.begin() + static_cast<long>(i), devices[i]) !=
            devices.begin() + static_cast<long>(i)) {
            *error = "address " + std::to_string(devices[i]) + " given twice";
            return false;
        }
    }
    if (!devices.empty()) options->address = devices.front();
    const std::vector<int> bus = BusAddresses(*options);
    if (options->faultDevice != 0 &&
        std::find(bus.begin(), bus.end(), options->faultDevice) == bus.end()) {
        *error = "--fault-device " + std::to_string(options->faultDevice) + " is not on the line";
        return false;
    }
    return true;
}

}  // namespace

std::vector<int> BusAddresses(const SimulatorOptions& options) {
    if (options.devices.empty()) return {options.address};
    return options.devices;
}

SimulatorOptions DeviceOptions(const SimulatorOptions& options, size_t index) {
    SimulatorOptions device = options;
    const std::vector<int> bus = BusAddresses(options);
    device.address = bus.at(index);
    device.devices = {device.address};
    // A large odd step keeps the seeds of neighbouring controllers far apart.
    device.seed = options.seed + static_cast<uint32_t>(index) * 0x9E3779B1u;
    if (options.faultDevice != 0 && options.faultDevice != device.address) {
        device.drop = device.corrupt = device.exception = device.wrongEcho = 0;
        device.split = device.noise = 0;
        device.delayMs = 0;
        device.ignoreAa = false;
        device.refuseWrites = false;
    }
    return device;
}

bool ParseSimulatorOptions(int argc, const char* const* argv, SimulatorOptions* options, bool* help,
                           std::string* error, bool* version) {
    *help = false;
    if (version != nullptr) *version = false;
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
        if (arg == "--version" && version != nullptr) {
            *version = true;
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
        if (spec->kind == Kind::kAddressList) {
            if (!ParseAddressList(value, &options->devices)) {
                *error = arg + " wants addresses 1..247 separated by commas, not " + value;
                return false;
            }
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
            (whole && !IsWhole(number))) {
            *error = "bad value for " + arg + ": " + value;
            return false;
        }
        Store(spec->name, number, value, options);
    }
    return CheckBus(options, error);
}

std::string SimulatorUsage() {
    return R"(usage: kestrane-sim [options]
Simulates MPPT solar charge controllers: Modbus RTU slaves on one
pseudo-terminal. Prints the device path on the first line of its output and
serves until interrupted (or until --hangup-after closes the line).

  --address N        bus address, 1..247 (default 1); repeat it for several
                     controllers on the one line
  --devices A,B,...  several controllers on the one line, each with its own
                     serial number, day and settings
  --baud B           line speed for --pace and the frame gap (default 9600)
  --pace             requests and replies take their wire time at the baud
                     rate (ten bits a character)
  --turnaround MS    with --pace, from the end of a request to the start of
                     its reply (default 2)
  --seed S           seed of weather, noise and faults (default 1)
  --day-seconds N    real seconds per simulated day (default 600; 0 stops time)
  --start T          simulated start, YYYY-MM-DDTHH:MM:SS (default 2026-06-01T07:30:00)
  --link PATH        also make a symlink PATH to the pseudo-terminal
  --tcp-listen [HOST:]PORT
                     serve the line over TCP instead of a pseudo-terminal
                     (RTU frames, as a serial server does; one client at a
                     time; host 127.0.0.1 unless given; port 0 picks a free
                     one); the first line of output is then tcp://HOST:PORT
  --hangup-after N   close the line after N requests, like an unplugged adapter
  --strict-line      answer only when the program set the line to --baud, 8N1;
                     otherwise send the garbled bytes a receiver at the wrong
                     rate sees, for as long as the reply would take
  --echo             send each request back before the reply, like a 2-wire
                     RS-485 adapter without echo suppression
  --registers-file PATH
                     write every register a master can write, of every
                     controller, to PATH as JSON after start and after each
                     write carried out, replacing the file in one step:
                     {"devices": {"ADDRESS": {"REGISTER": VALUE, ...}, ...},
                      "writes": WRITES}, with the addresses given at start,
                     register numbers in decimal and WRITES the count of
                     write requests carried out so far

Fault injection (P is a probability 0..1 per request), on every controller
unless --fault-device names one:
  --drop P           the request is lost: no reply
  --corrupt P        reply with a bad CRC
  --exception P      exception reply (server device failure) instead of acting
  --wrong-echo P     a write is acknowledged with the next register's number
  --split P          reply sent in 2-4 pieces, 10-30 ms apart
  --noise P          1-8 garbage bytes on the line 60 ms after the reply
  --delay MS         every reply MS milliseconds late
  --ignore-aa        leave the 0xAA battery-type frame unanswered
  --refuse-writes    answer every write and every 0xAA frame with an
                     exception (server device failure), ignore broadcast
                     writes, and change nothing; reads are answered
  --fault-device A   only the controller at address A injects these faults
  --help             this text
  --version          print the version and exit
)";
}

}  // namespace kestrane::sim
