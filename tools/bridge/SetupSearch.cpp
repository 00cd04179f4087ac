#include "SetupSearch.h"

#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "doctor/PortText.h"
#include "doctor/SearchProgressLine.h"

namespace kestrane::bridge {

namespace {

std::string ConfigPortOf(const PortInfo& port) {
    return port.byId.empty() ? port.devicePath : port.byId.front();
}

bool Names(const PortInfo& port, const std::string& name) {
    if (name == port.devicePath || name == port.realPath) return true;
    for (const std::string& link : port.byId)
        if (name == link) return true;
    return false;
}

// The ports an answer names ("1 3", "/dev/ttyUSB0"); empty when a word
// names none of them.
std::vector<PortInfo> Named(const std::vector<PortInfo>& ports, const std::string& answer) {
    std::vector<PortInfo> chosen;
    std::istringstream words(answer);
    for (std::string word; words >> word;) {
        const PortInfo* match = nullptr;
        const bool number = word.find_first_not_of("0123456789") == std::string::npos;
        for (size_t i = 0; i < ports.size() && match == nullptr; ++i)
            if (number ? std::to_string(i + 1) == word : Names(ports[i], word)) match = &ports[i];
        if (match == nullptr) {
            std::printf("  no port %s in the list\n", word.c_str());
            return {};
        }
        chosen.push_back(*match);
    }
    return chosen;
}

std::string Plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::vector<PortInfo> ListPorts(const SetupOptions& options) {
    const int self = static_cast<int>(::getpid());
    std::vector<PortInfo> ports;
    if (options.yes && !options.ports.empty()) {
        for (const std::string& path : options.ports)
            ports.push_back(DescribePort(path, self));
    } else {
        ports = DescribeAllPorts(options.ports, self);
    }
    std::puts(ports.empty() ? "No serial ports found." : "Serial ports:");
    bool barred = false;
    for (size_t i = 0; i < ports.size(); ++i) {
        std::printf("%2zu) %s", i + 1, PortText(ports[i]).c_str());
        barred = barred || (ports[i].exists && !ports[i].access.mayOpen);
    }
    if (barred)
        std::puts(
            "You may not open some of these ports: run the command given after \"to fix\" (or "
            "run the setup with sudo, which it needs to write /etc/kestrane anyway).");
    std::fflush(stdout);
    return ports;
}

std::vector<PortInfo> ChoosePorts(const std::vector<PortInfo>& ports, SetupPrompter& prompter) {
    for (;;) {
        const std::string answer =
            prompter.Ask("Search which ports (numbers or paths, Enter for all)", "all");
        if (answer == "all") return ports;
        std::vector<PortInfo> chosen = Named(ports, answer);
        if (!chosen.empty()) return chosen;
    }
}

std::vector<FoundBus> SearchPorts(const std::vector<PortInfo>& ports, const SetupOptions& options) {
    std::vector<FoundBus> found;
    for (const PortInfo& port : ports) {
        BusScanOptions scan;
        scan.port = port.devicePath;
        scan.allAddresses = options.full;
        scan.probeFloorMs = options.probeWaitMs;
        scan.budgetSeconds = options.searchSeconds > 0 ? options.searchSeconds
                             : options.full            ? kDefaultFullSearchSeconds
                                                       : kDefaultSearchSeconds;
        std::printf(
            "Searching %s (%s at every usual rate, at most %.0f s):\n", port.devicePath.c_str(),
            options.full ? "all addresses" : "addresses 1 to 16 and 247", scan.budgetSeconds);
        std::fflush(stdout);
        SearchProgressLine progress;
        BusScanObserver observer;
        observer.progress = [&progress](const SearchProgress& p) { progress.Show(p); };
        observer.found = [&progress](unsigned baud, const FoundController& c) {
            progress.End();
            std::printf("  found address %d at %u baud: %s, serial %s, firmware %s\n", c.address,
                        baud, c.model.empty() ? "?" : c.model.c_str(),
                        c.serialNumber.empty() ? "?" : c.serialNumber.c_str(),
                        c.firmware.empty() ? "?" : c.firmware.c_str());
            std::fflush(stdout);
        };
        FoundBus bus{port, ConfigPortOf(port), ScanBus(scan, observer)};
        progress.End();
        const BusScanResult& result = bus.scan;
        if (!result.opened) {
            std::printf("  cannot use it: %s\n", result.error.c_str());
            continue;
        }
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f", result.seconds);
        const std::string effort =
            Plural(static_cast<size_t>(result.probes), "probe", "probes") + " in " + seconds + " s";
        if (result.controllers.empty()) {
            std::printf("  no controller answered (%s%s)\n", effort.c_str(),
                        result.budgetSpent ? "; the time bound ended the search" : "");
        } else {
            std::printf("  %s at %u baud (%s)\n",
                        Plural(result.controllers.size(), "controller", "controllers").c_str(),
                        result.baud, effort.c_str());
            found.push_back(std::move(bus));
        }
        std::fflush(stdout);
    }
    return found;
}

}  // namespace kestrane::bridge
