#include "doctor/BusScan.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <utility>

#include "bus/CBusMaster.h"
#include "doctor/SearchProbe.h"
#include "protocol/RegisterMap.h"
#include "protocol/TextCodec.h"
#include "serial/CSerialPort.h"

namespace kestrane {

namespace {

// The identity block of `address`, with the usual retries: a controller that
// answered a probe but not this is still listed, without a model.
FoundController ReadIdentity(ISerialLine& line, IBusClock& clock, unsigned baud, int address) {
    BusOptions options;
    options.baud = baud;
    CBusMaster bus(line, options, clock);
    CBusDevice& device = bus.Device(static_cast<uint8_t>(address));
    FoundController found;
    found.address = address;
    if (bus.Transact(device, kIdentityReadCode).result != BusResult::kOk) return found;
    const ControllerData& data = device.Data();
    found.model = WordsToText(data.modelName, ControllerData::kModelWords);
    found.serialNumber = WordsToText(data.serialNumber, ControllerData::kSerialWords);
    found.firmware = WordsToText(data.firmwareVersion, ControllerData::kFirmwareWords);
    return found;
}

}  // namespace

std::string DefaultControllerName(const FoundController& controller) {
    if (controller.model.empty()) return "Controller " + std::to_string(controller.address);
    constexpr size_t kTail = 4;
    const std::string& serial = controller.serialNumber;
    if (serial.empty()) return controller.model;
    return controller.model + " " +
           serial.substr(serial.size() > kTail ? serial.size() - kTail : 0);
}

BusScanResult ScanBus(const BusScanOptions& options, const BusScanObserver& observer) {
    BusScanResult result;
    CSerialPort port;
    if (!port.Open(options.port) || !port.Configure(options.firstBaud)) {
        result.error = port.LastErrorText();
        return result;
    }
    result.opened = true;
    SteadyBusClock clock;
    const auto began = clock.Now();
    const auto elapsed = [&] { return std::chrono::duration<double>(clock.Now() - began).count(); };
    RecordingLine line(port, clock);
    SearchProbe probe(port, line, clock, options.firstBaud, options.probeFloorMs, observer.stop);

    SearchStart start;
    start.baud = options.firstBaud;
    start.address = 0;
    start.budgetSeconds = options.budgetSeconds;
    start.probeFloorMs = options.probeFloorMs;
    start.allAddresses = options.allAddresses;
    // What the search asked already is not asked again at the bus's rate.
    std::set<std::pair<unsigned, int>> asked;
    const auto recorded = [&](unsigned baud, int address) {
        asked.insert({baud, address});
        return probe(baud, address);
    };
    const SearchResult first = AddressSearch(start).Run(recorded, elapsed, observer.progress);
    result.probes = first.probes;
    result.budgetSpent = first.budgetSpent;
    const auto add = [&](int address) {
        result.controllers.push_back(ReadIdentity(line, clock, result.baud, address));
        if (observer.found) observer.found(result.baud, result.controllers.back());
    };
    if (first.found) {
        result.baud = first.baud;
        add(first.address);
        // The rest of the bus at the rate the first one answered at.
        const std::vector<int> order = LikelyAddressOrder();
        const size_t count = options.allAddresses ? order.size() : kLikelyAddressCount;
        for (size_t i = 0; i < count; ++i) {
            const int address = order[i];
            if (asked.contains({result.baud, address})) continue;
            if (elapsed() >= options.budgetSeconds) {
                result.budgetSpent = true;
                break;
            }
            ++result.probes;
            if (observer.progress)
                observer.progress({result.baud, address, result.probes, elapsed()});
            const Probe answer = probe(result.baud, address);
            if (answer.outcome == ProbeOutcome::kAnswer) add(address);
            if (answer.outcome == ProbeOutcome::kLineClosed ||
                answer.outcome == ProbeOutcome::kStopped)
                break;
        }
    }
    std::sort(
        result.controllers.begin(), result.controllers.end(),
        [](const FoundController& a, const FoundController& b) { return a.address < b.address; });
    result.seconds = elapsed();
    return result;
}

}  // namespace kestrane
