// When each byte of an answer goes out. Unpaced, every piece leaves whole
// after its delay; paced, the answer waits until the request has been carried
// by the wire and the controller has turned the line round, and every byte
// is released only once the wire would have delivered it whole, so a master
// never sees a byte earlier than on a real line.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/RtuFramer.h"
#include "sim/RtuSlave.h"
#include "sim/WireTiming.h"

namespace kestrane::sim {

struct TimedBytes {
    double atMs = 0;  // on the clock that timed the request's bytes
    std::vector<uint8_t> bytes;
};

// `nowMs`: when the answer is ready; nothing is scheduled before it.
// `pace`: the line's timing, or null for an unpaced line.
std::vector<TimedBytes> ScheduleReply(const std::vector<Transmission>& answer,
                                      const RtuFrame& request, double nowMs,
                                      const WireTiming* pace);

}  // namespace kestrane::sim
