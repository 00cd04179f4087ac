#include "sim/SimBus.h"

#include <algorithm>

#include "sim/FactoryDefaults.h"
#include "sim/SimRandom.h"

namespace kestrane::sim {

namespace {

// Gives a controller after the first its own serial number, battery charge,
// panel and lamp, drawn from its own seed.
void Personalise(SimDevice& device, size_t index, uint32_t seed) {
    device.Bank().SetText(reg::kSerialNumber, reg::kSerialWords, FactorySerialOf(index));
    SimRandom random(0x42555300ULL ^ seed);
    ControllerModel& model = device.Model();
    model.SetStateOfCharge(random.Uniform(0.35, 0.85));
    model.World().panelPeakWatts = random.Uniform(300, 520);
    model.World().loadWatts = random.Uniform(24, 96);
    device.Advance(0);
}

// Answers sent at once share the wire: where one sends a 0 bit the line
// reads 0, so the receiver sees the bytes of both ANDed, which no CRC
// survives. The first answer's timing stands for all.
std::vector<Transmission> Collide(const std::vector<std::vector<Transmission>>& answers) {
    Transmission clash{answers.front().front().delayMs, {}};
    for (const auto& answer : answers) {
        size_t at = 0;
        for (const Transmission& piece : answer) {
            for (const uint8_t byte : piece.bytes) {
                if (at < clash.bytes.size())
                    clash.bytes[at] &= byte;
                else
                    clash.bytes.push_back(byte);
                ++at;
            }
        }
    }
    return {clash};
}

}  // namespace

SimBus::SimBus(const SimulatorOptions& options) {
    const size_t count = BusAddresses(options).size();
    for (size_t i = 0; i < count; ++i) {
        const SimulatorOptions own = DeviceOptions(options, i);
        Unit unit;
        unit.device = std::make_unique<SimDevice>(own);
        if (i > 0) Personalise(*unit.device, i, own.seed);
        unit.slave = std::make_unique<RtuSlave>(*unit.device, own);
        units_.push_back(std::move(unit));
    }
}

std::vector<Transmission> SimBus::Handle(const RtuFrame& frame) {
    const uint64_t writesBefore = SlaveWrites();
    std::vector<std::vector<Transmission>> answers;
    for (Unit& unit : units_) {
        std::vector<Transmission> answer = unit.slave->Handle(frame);
        if (!answer.empty()) answers.push_back(std::move(answer));
    }
    if (SlaveWrites() != writesBefore) ++writes_;
    if (answers.empty()) return {};
    if (answers.size() == 1) return std::move(answers.front());
    return Collide(answers);
}

void SimBus::Advance(double simulatedSeconds) {
    for (Unit& unit : units_)
        unit.device->Advance(simulatedSeconds);
}

bool SimBus::HasAddress(int address) const {
    return std::any_of(units_.begin(), units_.end(),
                       [address](const Unit& unit) { return unit.device->Address() == address; });
}

uint64_t SimBus::Requests() const {
    uint64_t total = 0;
    for (const Unit& unit : units_)
        total += unit.slave->Requests();
    return total;
}

uint64_t SimBus::SlaveWrites() const {
    uint64_t total = 0;
    for (const Unit& unit : units_)
        total += unit.slave->Writes();
    return total;
}

}  // namespace kestrane::sim
