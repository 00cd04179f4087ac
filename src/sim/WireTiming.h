// The time bytes take on a serial line of ten bits per character (start bit,
// eight data bits, stop bit) at a given rate: when a paced reply may start,
// when each of its bytes has fully arrived, and the least time one full read
// cycle can take on that line. Pure arithmetic; reads no clock.
#pragma once

#include <cstddef>

namespace kestrane::sim {

class WireTiming {
public:
    // `turnaroundMs`: how long the controller takes between the end of a
    // request and the first bit of its reply.
    WireTiming(unsigned baud, double turnaroundMs);

    unsigned Baud() const { return baud_; }
    double CharMs() const { return charMs_; }
    double TurnaroundMs() const { return turnaroundMs_; }
    // The silence a master keeps before each request: three and a half
    // characters, but a fixed 1.75 ms above 19200 baud.
    double InterFrameGapMs() const;

    // The earliest moment a reply may start. A request of `requestBytes`
    // whose first byte arrived at `firstByteMs` occupies the wire for its
    // whole length from then on; bytes that trickled in later than the wire
    // would have carried them (`lastByteMs`) delay the end further.
    double ReplyStartMs(size_t requestBytes, double firstByteMs, double lastByteMs) const;
    // When byte `index` (from 0) of a transmission that starts at `startMs`
    // has been received whole: after its stop bit.
    double ByteDoneMs(double startMs, size_t index) const;

    // The wire-time floor of one cycle of the eight read blocks for one
    // device: per block the request and its reply at the character rate, the
    // turnaround, and the inter-frame gap before the request. Nothing for the
    // master's own processing or the operating system.
    double CycleFloorMs() const;

private:
    unsigned baud_;
    double turnaroundMs_;
    double charMs_;
};

}  // namespace kestrane::sim
