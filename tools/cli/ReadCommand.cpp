// kestrane-cli read: read cycles over one or more devices on the bus master,
// each device's record printed as one JSON line per cycle.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "Commands.h"
#include "RecordJson.h"
#include "bus/CBusMaster.h"
#include "protocol/RegisterMap.h"
#include "serial/CSerialPort.h"

namespace kestrane::cli {

namespace {

using Milliseconds = std::chrono::duration<double, std::milli>;
using DecodedBlocks = std::array<bool, kCycleBlocks>;

void PrintDevice(const CBusDevice& device) {
    nlohmann::ordered_json out = nlohmann::ordered_json::object();
    out["address"] = device.Address();
    out.update(RecordJson(device.Data()));
    out["link"] = LinkJson(device.Counters());
    // ASCII only: controller texts are bytes, written as \u escapes above 0x7F.
    std::fputs((out.dump(-1, ' ', true) + "\n").c_str(), stdout);
    std::fflush(stdout);
}

// "address 1: 0 (0x0000) 4 (0x0203); address 2: ...": the blocks of every
// device that were never decoded during the run.
std::string NeverAnswered(const std::vector<int>& addresses,
                          const std::map<int, DecodedBlocks>& decoded) {
    std::string text;
    for (int address : addresses) {
        const DecodedBlocks& blocks = decoded.at(address);
        std::string names;
        for (int code = 0; code < kCycleBlocks; ++code) {
            if (blocks[static_cast<size_t>(code)]) continue;
            char name[32];
            std::snprintf(name, sizeof name, "%s%d (0x%04X)", names.empty() ? "" : " ", code,
                          static_cast<unsigned>(ReadBlockFor(code)->startRegister));
            names += name;
        }
        if (names.empty()) continue;
        text += (text.empty() ? "address " : "; address ") + std::to_string(address) + ": " + names;
    }
    return text;
}

void PrintCycleTimes(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    double median = 0;
    if (!times.empty()) {
        const size_t middle = times.size() / 2;
        median = times.size() % 2 == 1 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
    }
    std::fprintf(stderr, "cycle-time-ms min=%.3f median=%.3f max=%.3f cycles=%zu\n",
                 times.empty() ? 0.0 : times.front(), median, times.empty() ? 0.0 : times.back(),
                 times.size());
}

}  // namespace

int RunRead(const CliOptions& options, const std::atomic<bool>& interrupted) {
    CSerialPort port;
    if (!OpenConfiguredPort(port, options)) return kExitPort;

    SteadyBusClock clock;
    BusOptions busOptions;
    busOptions.baud = options.baud;
    busOptions.responseTimeoutMs = options.responseTimeoutMs;
    busOptions.interCharacterTimeoutMs = options.interCharacterTimeoutMs;
    busOptions.retries = options.retries;
    CBusMaster bus(port, busOptions, clock);

    const auto deadline = clock.Now() + std::chrono::duration_cast<std::chrono::nanoseconds>(
                                            std::chrono::duration<double>(options.timeoutSeconds));
    const auto stop = [&] { return interrupted.load() || clock.Now() >= deadline; };

    std::map<int, DecodedBlocks> decoded;
    for (int address : options.addresses)
        decoded[address] = {};
    std::vector<double> cycleTimes;
    bool stopped = false;
    for (int sweep = 0; sweep < options.count && !stopped && !bus.LineClosed(); ++sweep) {
        std::optional<IBusClock::TimePoint> first, last;
        for (int address : options.addresses) {
            CBusDevice& device = bus.Device(static_cast<uint8_t>(address));
            const CycleResult cycle = bus.ReadCycle(device, stop);
            for (size_t block = 0; block < cycle.decoded.size(); ++block)
                decoded[address][block] = decoded[address][block] || cycle.decoded[block];
            if (cycle.asked[0]) {
                if (!first) first = cycle.firstRequest;
                last = std::max(last.value_or(cycle.lastDecoded), cycle.lastDecoded);
            }
            if (cycle.Complete()) PrintDevice(device);
            if (cycle.stopped || cycle.lineClosed) {
                stopped = true;
                break;
            }
        }
        if (!stopped && first && *last > *first)
            cycleTimes.push_back(Milliseconds(*last - *first).count());
    }
    port.Close();

    if (options.stats) PrintCycleTimes(cycleTimes);
    if (bus.LineClosed()) {
        std::fprintf(stderr, "kestrane-cli: line closed: %s hung up after %u requests\n",
                     options.port.c_str(), bus.Counters().requests);
        return kExitIncomplete;
    }
    const std::string missing = NeverAnswered(options.addresses, decoded);
    if (!missing.empty()) {
        std::fprintf(
            stderr, "kestrane-cli: blocks never answered on %s%s: %s\n", options.port.c_str(),
            stopped ? " (the run was cut short by --timeout or a signal)" : "", missing.c_str());
        return kExitIncomplete;
    }
    return kExitDone;
}

}  // namespace kestrane::cli
