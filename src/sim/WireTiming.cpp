#include "sim/WireTiming.h"

#include <algorithm>

#include "sim/SimRegisters.h"

namespace kestrane::sim {

namespace {

constexpr double kBitsPerChar = 10;
constexpr size_t kReadRequestBytes = 8;

}  // namespace

WireTiming::WireTiming(unsigned baud, double turnaroundMs)
    : baud_(std::max(1u, baud)),
      turnaroundMs_(std::max(0.0, turnaroundMs)),
      charMs_(kBitsPerChar * 1000.0 / baud_) {}

double WireTiming::InterFrameGapMs() const {
    return baud_ > 19200 ? 1.75 : 3.5 * charMs_;
}

double WireTiming::ReplyStartMs(size_t requestBytes, double firstByteMs, double lastByteMs) const {
    const double requestEnd = std::max(firstByteMs + requestBytes * charMs_, lastByteMs);
    return requestEnd + turnaroundMs_;
}

double WireTiming::ByteDoneMs(double startMs, size_t index) const {
    return startMs + (index + 1) * charMs_;
}

double WireTiming::CycleFloorMs() const {
    double total = 0;
    for (const ReadBlock& block : kReadBlocks) {
        const size_t replyBytes = 5 + 2 * static_cast<size_t>(block.count);
        total += InterFrameGapMs() + (kReadRequestBytes + replyBytes) * charMs_ + turnaroundMs_;
    }
    return total;
}

}  // namespace kestrane::sim
