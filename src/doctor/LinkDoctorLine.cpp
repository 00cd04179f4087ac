// The doctor's checks on the line itself: the answer at the rate and address
// given, the search, and the quality run. Every request is a read.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <span>

#include "bus/CBusMaster.h"
#include "doctor/LinkDoctor.h"
#include "doctor/SearchProbe.h"
#include "protocol/RegisterMap.h"
#include "protocol/TextCodec.h"
#include "serial/CSerialPort.h"

namespace kestrane {

namespace {

std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The device's identity from its record; the timing from the first request
// of `events` that a burst followed: how long its first byte took after the
// request was written, and how long the burst lasted.
AnswerFacts FactsOf(const CBusDevice& device, std::span<const TraceEvent> events) {
    AnswerFacts facts;
    const ControllerData& data = device.Data();
    facts.model = WordsToText(data.modelName, ControllerData::kModelWords);
    facts.serialNumber = WordsToText(data.serialNumber, ControllerData::kSerialWords);
    facts.firmware = WordsToText(data.firmwareVersion, ControllerData::kFirmwareWords);
    for (size_t i = 0; i + 1 < events.size(); ++i) {
        if (!events[i].sent || events[i + 1].sent) continue;
        facts.latencyMs = events[i + 1].atMs - events[i].lastMs;
        facts.replyMs = events[i + 1].lastMs - events[i + 1].atMs;
        break;
    }
    return facts;
}

std::string FactsText(const AnswerFacts& facts) {
    return "model " + facts.model + ", serial " + facts.serialNumber + ", firmware " +
           facts.firmware + "; first byte " + Fixed(facts.latencyMs, 2) +
           " ms after the request, reply " + Fixed(facts.replyMs, 2) + " ms";
}

std::string BlockList(const CycleResult& cycle) {
    std::string text;
    for (int code = 0; code < kCycleBlocks; ++code) {
        if (cycle.decoded[static_cast<size_t>(code)]) continue;
        char name[16];
        std::snprintf(name, sizeof name, "%s0x%04X", text.empty() ? "" : ", ",
                      static_cast<unsigned>(ReadBlockFor(code)->startRegister));
        text += name;
    }
    return text;
}

std::string CounterText(const LinkCounters& counters) {
    std::string text = "requests " + std::to_string(counters.requests);
    for (size_t i = 0; i < kBusResultCount; ++i) {
        const auto result = static_cast<BusResult>(i);
        if (counters.Count(result) == 0) continue;
        text += ", " + std::string(BusResultName(result)) + " " +
                std::to_string(counters.Count(result));
    }
    return text;
}

std::string QualityHint(const LinkCounters& counters, size_t strayBytes = 0) {
    using R = BusResult;
    if (counters.Count(R::kCrcError) > 0 || counters.Count(R::kShort) > 0 || strayBytes > 0)
        return "noise on the line: check the termination resistors, the ground wire and the "
               "cable length";
    if (counters.Count(R::kOtherAddress) > 0)
        return "another device answers too: two devices may share an address";
    if (counters.Count(R::kTimeout) > 0)
        return "replies go missing: a loose wire, or a controller slow to answer "
               "(try kestrane-cli read --response-timeout-ms 600)";
    return {};
}

}  // namespace

bool LinkDoctor::CheckAnswer(DoctorReport& report, CBusMaster& bus, RecordingLine& line) const {
    const size_t first = line.Events().size();
    CBusDevice& device = bus.Device(static_cast<uint8_t>(options_.address));
    const std::string where = " at " + std::to_string(options_.baud) + " baud, address " +
                              std::to_string(options_.address);
    // The first block alone first: without an answer to it the other seven
    // would only repeat the failure.
    if (bus.Transact(device, kDoctorProbeCode).result != BusResult::kOk) {
        line.Flush();
        Add(report, {DoctorCheck::kAnswer, false, "no valid reply" + where, {}});
        return false;
    }
    const CycleResult cycle = bus.ReadCycle(device);
    line.Flush();
    report.answer = FactsOf(device, std::span<const TraceEvent>(line.Events()).subspan(first));
    report.workingBaud = options_.baud;
    report.workingAddress = options_.address;

    DoctorStep step{DoctorCheck::kAnswer, cycle.Complete(), FactsText(*report.answer), {}};
    if (!step.ok) {
        step.detail = "answers" + where + ", but not to the blocks " + BlockList(cycle);
        step.hint = QualityHint(bus.Counters());
    }
    Add(report, std::move(step));
    return true;
}

void LinkDoctor::Search(DoctorReport& report, CSerialPort& port, RecordingLine& line) const {
    SearchStart start;
    start.baud = options_.baud;
    start.address = options_.address;
    start.otherAddresses = report.classification->otherAddresses;
    start.garbled = report.classification->finding == LinkFinding::kGarbage;
    start.budgetSeconds = options_.searchSeconds;
    start.probeFloorMs = options_.probeFloorMs;

    SteadyBusClock clock;
    const auto began = clock.Now();
    const auto elapsed = [&] { return std::chrono::duration<double>(clock.Now() - began).count(); };
    SearchProbe probe(port, line, clock, options_.baud, options_.probeFloorMs, observer_.stop);
    AddressSearch search(start);
    const SearchResult result = search.Run(probe, elapsed, observer_.progress);
    report.search = result;

    const std::string effort =
        std::to_string(result.probes) + " probes in " + Fixed(result.seconds, 2) + " s";
    DoctorStep step{DoctorCheck::kSearch, result.found, {}, {}};
    if (result.found) {
        report.workingBaud = result.baud;
        report.workingAddress = result.address;
        step.detail = "found at " + std::to_string(result.baud) + " baud, address " +
                      std::to_string(result.address) + " (" + effort + "); use --baud " +
                      std::to_string(result.baud) + " --address " + std::to_string(result.address);
    } else {
        step.detail = "no controller answered (" + effort + ")";
        if (result.budgetSpent) step.detail += "; the time bound ended the search";
        if (result.lineClosed) step.detail += "; the line closed";
        if (result.stopped) step.detail += "; interrupted";
        for (const auto& [baud, address] : result.exceptions)
            step.detail += "; address " + std::to_string(address) + " at " + std::to_string(baud) +
                           " baud answers with exception replies";
        step.hint = report.classification->Hint();
    }
    Add(report, std::move(step));
}

void LinkDoctor::RunQuality(DoctorReport& report, CSerialPort& port, RecordingLine& line) const {
    QualityFacts facts;
    if (!port.Configure(report.workingBaud)) {
        Add(report, {DoctorCheck::kQuality, false, port.LastErrorText(), {}});
        return;
    }
    SteadyBusClock clock;
    BusOptions options;
    options.baud = report.workingBaud;
    options.responseTimeoutMs = options_.responseTimeoutMs;
    options.retries = 0;
    CBusMaster bus(line, options, clock);
    CBusDevice& device = bus.Device(static_cast<uint8_t>(report.workingAddress));
    const std::function<bool()> stop = observer_.stop ? observer_.stop : [] { return false; };
    const size_t first = line.Events().size();
    for (; facts.cycles < options_.cycles && !stop(); ++facts.cycles) {
        const CycleResult cycle = bus.ReadCycle(device, stop);
        if (cycle.stopped) break;
        if (cycle.Complete()) ++facts.complete;
        if (cycle.lineClosed) {
            ++facts.cycles;
            break;
        }
    }
    line.Flush();
    const std::span<const TraceEvent> events =
        std::span<const TraceEvent>(line.Events()).subspan(first);
    // A controller the search found is described by its first quality cycle.
    if (!report.answer && facts.complete > 0) report.answer = FactsOf(device, events);
    facts.counters = bus.Counters();
    // Noise between replies costs no reply, but it is there to be seen.
    facts.strayBytes = ClassifyLink(events, report.workingAddress).garbageBytes;
    report.quality = facts;

    const LinkCounters& c = facts.counters;
    const bool clean = c.Count(BusResult::kOk) == c.requests && facts.strayBytes == 0;
    DoctorStep step{DoctorCheck::kQuality, facts.complete == facts.cycles && clean, {}, {}};
    const double rate = facts.cycles > 0 ? 100.0 * facts.complete / facts.cycles : 0;
    step.detail = std::to_string(facts.complete) + " of " + std::to_string(facts.cycles) +
                  " cycles complete (" + Fixed(rate, 0) + " %); " + CounterText(c);
    if (facts.strayBytes > 0)
        step.detail += "; " + std::to_string(facts.strayBytes) + " stray bytes between frames";
    if (!step.ok) step.hint = QualityHint(c, facts.strayBytes);
    if (report.steps.back().check == DoctorCheck::kSearch && report.answer)
        step.detail += "; " + FactsText(*report.answer);
    Add(report, std::move(step));
}

}  // namespace kestrane
