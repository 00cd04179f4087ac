#include "bridge/BridgeBuses.h"

#include "bridge/ClockTrust.h"
#include "serial/OpenLine.h"

namespace kestrane::bridge {

BridgeBuses::BridgeBuses(const BridgeConfig& config, IUpdateSink& sink, LineOpener opener,
                         PollerTiming timing, const IClockSync& clockSync) {
    const IClockSync* const sync = ClockSyncToHeed(config, clockSync);
    for (size_t i = 0; i < config.buses.size(); ++i)
        buses_.push_back(std::make_unique<BusPoller>(static_cast<int>(i), config.buses[i],
                                                     config.pollIntervalS, sink, opener, timing,
                                                     &ids_, sync));
}

BridgeBuses::~BridgeBuses() {
    Stop();
}

void BridgeBuses::Start() {
    for (auto& bus : buses_)
        bus->Start();
}

void BridgeBuses::Stop() {
    for (auto& bus : buses_)
        bus->RequestStop();
    for (auto& bus : buses_)
        bus->Join();
}

bool BridgeBuses::Submit(const DeviceCommand& command) {
    for (auto& bus : buses_)
        if (bus->Submit(command)) return true;
    return false;
}

LineOpener SystemLineOpener() {
    // A serial server on the network that is up answers a connect at once;
    // the bound keeps a stop request from waiting long behind one that is not.
    constexpr int kConnectTimeoutMs = 2000;
    return [](const BusConfig& bus, std::string* error) {
        return OpenLine(bus.port, bus.baud, error, kConnectTimeoutMs);
    };
}

}  // namespace kestrane::bridge
