// The controller's view of the line settings: on Linux the master side of a
// pseudo-terminal reports the termios its slave was given, so the simulator
// learns the rate and framing the program chose. A controller at another
// rate or framing does not understand the request; what the program then
// receives is garbled bytes for as long as the reply takes on the wire.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/RtuSlave.h"
#include "sim/SimRandom.h"

namespace kestrane::sim {

struct LineSettings {
    unsigned baud = 0;
    bool eightNoneOne = false;  // 8 data bits, no parity, one stop bit
};

// The settings of the pseudo-terminal whose master is `masterFd`; nothing when
// they cannot be read.
std::optional<LineSettings> ReadLineSettings(int masterFd);

// True when a controller at `baud`, 8N1, understands a line set to `line`
// (rates within 3 %, as UARTs tolerate).
bool LineMatches(const LineSettings& line, unsigned baud);

// The length of the proper reply to a request frame: 5 + 2N for a read of
// N registers, 8 for a write, 5 for anything else (an exception).
size_t ReplyLengthFor(const std::vector<uint8_t>& request);

class StrictLine {
public:
    StrictLine(unsigned deviceBaud, uint64_t seed) : deviceBaud_(deviceBaud), random_(seed) {}

    // What a receiver at `line` sees of a reply of `replyBytes` bytes sent at
    // the controller's rate: as many bytes as fit the same time at the line's
    // rate (at least one), none of them forming a frame. Sent after
    // `delayMs`, like the reply would have been.
    std::vector<Transmission> Garbled(size_t replyBytes, const LineSettings& line, int delayMs);

private:
    unsigned deviceBaud_;
    SimRandom random_;
};

}  // namespace kestrane::sim
