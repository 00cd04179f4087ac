// kestrane-sim: a simulated charge controller on a pseudo-terminal.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "platform/BuildInfo.h"
#include "sim/SimulatorOptions.h"
#include "sim/SimulatorThread.h"

namespace {

volatile sig_atomic_t gStop = 0;

void OnSignal(int) {
    gStop = 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kestrane::sim;
    SimulatorOptions options;
    bool help = false;
    bool version = false;
    std::string error;
    if (!ParseSimulatorOptions(argc, argv, &options, &help, &error, &version)) {
        std::fprintf(stderr, "kestrane-sim: %s\n%s", error.c_str(), SimulatorUsage().c_str());
        return 2;
    }
    if (help) {
        std::fputs(SimulatorUsage().c_str(), stdout);
        return 0;
    }
    if (version) {
        std::printf("kestrane-sim %s\n", kestrane::kProgramVersion);
        return 0;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);

    SimulatorThread simulator(options);
    if (!simulator.Start(&error)) {
        std::fprintf(stderr, "kestrane-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", simulator.DevicePath().c_str());
    std::fflush(stdout);
    std::string addresses;
    for (const int address : BusAddresses(options))
        addresses += (addresses.empty() ? "" : ",") + std::to_string(address);
    std::fprintf(stderr, "kestrane-sim: %s %s on %s%s%s, day of %g s from %s\n",
                 simulator.DeviceCount() > 1 ? "addresses" : "address", addresses.c_str(),
                 simulator.DevicePath().c_str(), options.linkPath.empty() ? "" : " via ",
                 options.linkPath.c_str(), options.daySeconds, options.start.ToString().c_str());
    // Benchmarks print this beside their cycle times; it is per controller.
    std::fprintf(stderr, "wire-time floor per cycle: %.3f ms at %u baud\n",
                 simulator.Timing().CycleFloorMs(), simulator.Timing().Baud());
    std::fflush(stderr);
    while (!gStop && simulator.Running())
        usleep(20 * 1000);
    const bool hungUp = simulator.HungUp();
    simulator.Stop();
    if (hungUp)
        std::fprintf(stderr, "kestrane-sim: line closed after %llu requests\n",
                     static_cast<unsigned long long>(simulator.RequestCount()));
    return 0;
}
