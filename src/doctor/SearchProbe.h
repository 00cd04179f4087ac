// One probe of the address search on an open port: the line set to the rate
// asked, the address asked once (no retry) for the first read block, and what
// came back sorted into a ProbeOutcome. Only ever a read request.
#pragma once

#include <functional>

#include "bus/BusClock.h"
#include "doctor/AddressSearch.h"
#include "doctor/RecordingLine.h"

namespace kestrane {

class CSerialPort;

class SearchProbe {
public:
    // `port` is open and set to `configuredBaud`; `line` traces it. `stop`
    // (may be empty) is asked before each probe.
    SearchProbe(CSerialPort& port, RecordingLine& line, IBusClock& clock, unsigned configuredBaud,
                int probeFloorMs, std::function<bool()> stop = {});

    Probe operator()(unsigned baud, int address);

private:
    // A device at another rate may still be sending its garbled answer when
    // the probe gives up on it; the next probe, perhaps at the right rate,
    // must not take those bytes for its own reply.
    void AwaitQuiet();

    CSerialPort& port_;
    RecordingLine& line_;
    IBusClock& clock_;
    unsigned configured_;  // 0: unknown, the next probe sets its own
    int probeFloorMs_;
    std::function<bool()> stop_;
};

}  // namespace kestrane
