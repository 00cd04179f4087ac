// Several simulated controllers sharing one line, each with its own registers,
// day and faults. Every frame reaches every controller: only the addressed one
// answers, a broadcast write (address 0) is carried out by all and answered by
// none. No I/O and no clock: the caller advances simulated time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "sim/RtuFramer.h"
#include "sim/RtuSlave.h"
#include "sim/SimDevice.h"
#include "sim/SimulatorOptions.h"

namespace kestrane::sim {

class SimBus {
public:
    // One controller per address of BusAddresses(options). The first keeps
    // the factory identity and the line's seed, so a line of one behaves as
    // a single controller always has; the others get the next serial numbers
    // and a day, battery and load of their own.
    explicit SimBus(const SimulatorOptions& options);

    // What goes on the line in answer to `frame`; empty when nobody answers.
    // Should two controllers share an address, their answers collide.
    std::vector<Transmission> Handle(const RtuFrame& frame);

    void Advance(double simulatedSeconds);

    // True when a controller of the line has `address` now.
    bool HasAddress(int address) const;

    size_t Size() const { return units_.size(); }
    SimDevice& Device(size_t index) { return *units_.at(index).device; }
    const SimDevice& Device(size_t index) const { return *units_.at(index).device; }
    // Frames addressed to one controller, and to all of them together.
    uint64_t Requests(size_t index) const { return units_.at(index).slave->Requests(); }
    uint64_t Requests() const;
    // Frames that at least one controller carried out as a write: a
    // broadcast counts once however many controllers store it.
    uint64_t Writes() const { return writes_; }

private:
    struct Unit {
        std::unique_ptr<SimDevice> device;
        std::unique_ptr<RtuSlave> slave;
    };

    uint64_t SlaveWrites() const;

    std::vector<Unit> units_;
    uint64_t writes_ = 0;
};

}  // namespace kestrane::sim
