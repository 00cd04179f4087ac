#include "doctor/SearchProbe.h"

#include <chrono>
#include <span>

#include "bus/CBusMaster.h"
#include "doctor/LinkClassifier.h"
#include "doctor/LinkDoctor.h"
#include "serial/CSerialPort.h"

namespace kestrane {

namespace {

Probe ProbeOf(const TransactionResult& result, std::span<const TraceEvent> events, int address) {
    switch (result.result) {
        case BusResult::kOk:
        case BusResult::kRejected:
            return {ProbeOutcome::kAnswer, 0};
        case BusResult::kCrcError:
            return {ProbeOutcome::kCrcError, 0};
        case BusResult::kException:
            return {ProbeOutcome::kException, 0};
        case BusResult::kLineClosed:
            return {ProbeOutcome::kLineClosed, 0};
        case BusResult::kShort:
        case BusResult::kWrongFunction:
            return {ProbeOutcome::kGarbled, 0};
        case BusResult::kOtherAddress: {
            const LinkClassification seen = ClassifyLink(events, address);
            if (seen.otherAddresses.empty()) return {ProbeOutcome::kGarbled, 0};
            return {ProbeOutcome::kOtherAddress, seen.otherAddresses.front()};
        }
        case BusResult::kTimeout:
        case BusResult::kEcho:
            break;
    }
    return {ProbeOutcome::kSilent, 0};
}

// Silence that ends a garbled answer, and the longest wait for it.
constexpr int kQuietMs = 30;
constexpr int kDrainBoundMs = 1000;

}  // namespace

SearchProbe::SearchProbe(CSerialPort& port, RecordingLine& line, IBusClock& clock,
                         unsigned configuredBaud, int probeFloorMs, std::function<bool()> stop)
    : port_(port),
      line_(line),
      clock_(clock),
      configured_(configuredBaud),
      probeFloorMs_(probeFloorMs),
      stop_(std::move(stop)) {}

Probe SearchProbe::operator()(unsigned baud, int address) {
    if (stop_ && stop_()) return {ProbeOutcome::kStopped, 0};
    // A rate the adapter refuses cannot reach a controller. The line may be
    // left at some other rate then, so the next probe sets its own.
    if (baud != configured_ && !port_.Configure(baud)) {
        configured_ = 0;
        return {ProbeOutcome::kSilent, 0};
    }
    configured_ = baud;
    BusOptions options;
    options.baud = baud;
    options.responseTimeoutMs = ProbeTimeoutMs(baud, probeFloorMs_);
    options.retries = 0;
    CBusMaster bus(line_, options, clock_);
    const size_t mark = line_.Events().size();
    const TransactionResult result =
        bus.Transact(bus.Device(static_cast<uint8_t>(address)), kDoctorProbeCode);
    const Probe probe =
        ProbeOf(result, std::span<const TraceEvent>(line_.Events()).subspan(mark), address);
    if (probe.outcome != ProbeOutcome::kSilent && probe.outcome != ProbeOutcome::kAnswer &&
        probe.outcome != ProbeOutcome::kLineClosed)
        AwaitQuiet();
    line_.Flush();
    return probe;
}

void SearchProbe::AwaitQuiet() {
    const auto end = clock_.Now() + std::chrono::milliseconds(kDrainBoundMs);
    uint8_t buffer[256];
    size_t count = 0;
    while (clock_.Now() < end && line_.ReadFor(buffer, sizeof buffer, count, kQuietMs) &&
           count > 0) {
    }
}

}  // namespace kestrane
