#include "bus/CBusMaster.h"

#include <algorithm>
#include <atomic>

#include "bus/BusTiming.h"
#include "protocol/RegisterMap.h"

namespace kestrane {

namespace {

using Kind = ScanStep::Kind;
using std::chrono::ceil;
using std::chrono::milliseconds;

constexpr uint8_t kReadFunction = 3;
constexpr uint8_t kWriteSingleFunction = 6;
constexpr uint8_t kWriteMultipleFunction = 16;
// More than any frame can be long: a stream this long without a reply is noise.
constexpr size_t kMaxCollected = 512;
constexpr int kWriteTimeoutMs = 1000;
// The longest sleep while a reply is arriving: a reply that ends early (an
// exception, a broken frame) is noticed at most this many characters late.
constexpr size_t kFollowCharacters = 16;
constexpr BusDuration kWakeUpMargin{300};
constexpr BusDuration kShortestFollowSleep{1000};

int WholeMilliseconds(std::chrono::steady_clock::duration d) {
    const auto ms = ceil<milliseconds>(d).count();
    return ms > 0 ? static_cast<int>(ms) : 0;
}

}  // namespace

bool CycleResult::Complete() const {
    return std::all_of(decoded.begin(), decoded.end(), [](bool d) { return d; });
}

CBusMaster::CBusMaster(ISerialLine& line, BusOptions options, IBusClock& clock)
    : line_(line), options_(options), clock_(clock) {}

CBusDevice& CBusMaster::Device(uint8_t address) {
    std::unique_ptr<CBusDevice>& device = devices_[address];
    if (!device) device = std::make_unique<CBusDevice>(address);
    return *device;
}

void CBusMaster::Count(CBusDevice& device, BusResult result) {
    device.Counters().Add(result);
    counters_.Add(result);
}

TransactionResult CBusMaster::Transact(CBusDevice& device, int transactionCode, int retries) {
    TransactionResult result;
    result.firstRequest = clock_.Now();
    result.finished = result.firstRequest;
    if (!ReadBlockFor(transactionCode) && !WriteBlockFor(transactionCode) &&
        transactionCode != kBatteryTypeFrameCode) {
        result.result = BusResult::kRejected;  // nothing this master can send
        return result;
    }
    const int furtherAttempts = std::max(retries >= 0 ? retries : options_.retries, 0);
    for (int attempt = 0; attempt <= furtherAttempts; ++attempt) {
        result.result =
            lineClosed_ ? BusResult::kLineClosed : Attempt(device, transactionCode, result);
        Count(device, result.result);
        if (result.result == BusResult::kOk || result.result == BusResult::kLineClosed) break;
    }
    result.finished = clock_.Now();
    return result;
}

bool CBusMaster::BuildRequest(CBusDevice& device, int transactionCode, ReplyExpectation& expect) {
    CModbusFrame& frame = device.Frame();
    frame.ClearRequest();
    if (const auto read = ReadBlockFor(transactionCode)) {
        frame.BuildReadRequest(device.Address(), kReadFunction, read->startRegister,
                               read->registerCount);
        expect.function = kReadFunction;
        expect.byteCount = static_cast<uint8_t>(2 * read->registerCount);
    } else if (const auto write = WriteBlockFor(transactionCode)) {
        expect.function = write->singleRegister ? kWriteSingleFunction : kWriteMultipleFunction;
        frame.BuildWriteRequest(device.Address(), expect.function, transactionCode);
    } else {
        return false;
    }
    expect.address = device.Address();
    expect.request = std::span<const uint8_t>(frame.Request(), frame.RequestLength());
    // The proper answer to a single-register write is a copy of the request;
    // it is taken for an echo only on a bus that has been seen echoing.
    expect.echoPossible = expect.function != kWriteSingleFunction || busEchoes_;
    return true;
}

BusResult CBusMaster::Attempt(CBusDevice& device, int transactionCode, TransactionResult& result) {
    if (transactionCode == kBatteryTypeFrameCode) return AttemptBatteryTypeFrame(device, result);
    ReplyExpectation expect;
    if (!BuildRequest(device, transactionCode, expect)) return BusResult::kRejected;
    if (const BusResult sent = Send(device, expect.request, result); sent != BusResult::kOk)
        return sent;

    // The reply cannot start before the request has left the adapter.
    const auto deadline = lastActivity_ + WireTime(options_.baud, expect.request.size()) +
                          milliseconds(options_.responseTimeoutMs);
    std::vector<uint8_t> reply;
    const BusResult collected = Collect(device, expect, deadline, reply, result.exceptionCode);
    if (collected == BusResult::kLineClosed) lineClosed_ = true;
    if (collected != BusResult::kOk) return collected;
    return Decode(device, transactionCode, reply);
}

BusResult CBusMaster::Send(CBusDevice& device, std::span<const uint8_t> request,
                           TransactionResult& result) {
    const auto gap = InterFrameGap(options_.baud) + milliseconds(options_.turnaroundMs);
    clock_.SleepUntil(lastActivity_ + gap);
    line_.DiscardInput();

    if (result.attempts++ == 0) result.firstRequest = clock_.Now();
    ++device.Counters().requests;
    ++counters_.requests;
    const bool written = line_.Write(request.data(), request.size(), kWriteTimeoutMs);
    lastActivity_ = clock_.Now();
    if (written) return BusResult::kOk;
    if (line_.HasHungUp() || !line_.IsOpen()) {
        lineClosed_ = true;
        return BusResult::kLineClosed;
    }
    return BusResult::kTimeout;
}

// The 0xAA frame has no reply of a known shape. As the window's engine takes
// it, any answer ends it; the answer is read to its end so that it cannot be
// taken for the reply to the next request.
BusResult CBusMaster::AttemptBatteryTypeFrame(CBusDevice& device, TransactionResult& result) {
    CModbusFrame& frame = device.Frame();
    frame.ClearRequest();
    frame.BuildWriteRequest(device.Address(), kWriteMultipleFunction, kBatteryTypeFrameCode);
    const std::span<const uint8_t> request(frame.Request(), frame.RequestLength());
    if (const BusResult sent = Send(device, request, result); sent != BusResult::kOk) return sent;

    const auto deadline = lastActivity_ + WireTime(options_.baud, request.size()) +
                          milliseconds(options_.responseTimeoutMs);
    bool answered = false;
    for (;;) {
        const int waitMs =
            answered ? InterCharacterMs() : WholeMilliseconds(deadline - clock_.Now());
        if (waitMs == 0) break;
        uint8_t chunk[64];
        size_t count = 0;
        if (!line_.ReadFor(chunk, sizeof chunk, count, waitMs)) {
            if (line_.HasHungUp() || !line_.IsOpen()) {
                lineClosed_ = true;
                return BusResult::kLineClosed;
            }
            if (answered) break;
            continue;
        }
        answered = answered || count > 0;
        lastActivity_ = clock_.Now();
    }
    return answered ? BusResult::kOk : BusResult::kTimeout;
}

int CBusMaster::InterCharacterMs() const {
    return options_.interCharacterTimeoutMs > 0
               ? options_.interCharacterTimeoutMs
               : std::max(WholeMilliseconds(InterCharacterTimeout(options_.baud)),
                          BusOptions::kHostPauseMs);
}

BusResult CBusMaster::Collect(CBusDevice& device, const ReplyExpectation& expect,
                              IBusClock::TimePoint deadline, std::vector<uint8_t>& reply,
                              uint8_t& exceptionCode) {
    const int interCharacterMs = InterCharacterMs();
    const size_t expectedLength = ExpectedReplyLength(expect);
    std::vector<uint8_t> received;
    bool sawNoise = false;
    bool sawOtherAddress = false;
    const auto drop = [&](size_t count) {
        received.erase(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(count));
    };
    for (;;) {
        const ScanStep step = ScanReply(received, expect);
        switch (step.kind) {
            case Kind::kNeedMore:
                break;
            case Kind::kEcho:
                busEchoes_ = true;
                Count(device, BusResult::kEcho);
                drop(step.length);
                continue;
            case Kind::kStale:
            case Kind::kGarbage:
                sawNoise = true;
                discardedBytes_ += step.length;
                drop(step.length);
                continue;
            case Kind::kReply:
                reply.assign(received.begin(),
                             received.begin() + static_cast<std::ptrdiff_t>(step.length));
                return BusResult::kOk;
            case Kind::kException:
                exceptionCode = received[2];
                return BusResult::kException;
            case Kind::kCrcError:
                return BusResult::kCrcError;
            case Kind::kWrongFunction:
                return BusResult::kWrongFunction;
            case Kind::kOtherAddress:
                // Another device's late answer: the one asked may still reply.
                sawOtherAddress = true;
                discardedBytes_ += step.length;
                drop(step.length);
                continue;
        }
        if (received.size() >= kMaxCollected) return BusResult::kShort;

        // Until the reply starts, the response deadline bounds the wait; once
        // it has started, only a pause inside it ends it.
        int waitMs = interCharacterMs;
        if (received.empty()) {
            waitMs = WholeMilliseconds(deadline - clock_.Now());
            if (waitMs == 0) {
                if (sawOtherAddress) return BusResult::kOtherAddress;
                return sawNoise ? BusResult::kShort : BusResult::kTimeout;
            }
        } else if (received.size() < expectedLength) {
            // The rest of the reply cannot come faster than the line carries
            // it: sleep through part of its wire time and take it in one read
            // instead of waking for every byte. The sleep stops short of the
            // last byte's arrival, since a late wake-up would delay the end
            // of the transaction; waits too short to save a wake-up are not
            // slept.
            const size_t left = std::min(expectedLength - received.size(), kFollowCharacters);
            const BusDuration sleep = WireTime(options_.baud, left) - kWakeUpMargin;
            if (sleep >= kShortestFollowSleep) clock_.SleepUntil(clock_.Now() + sleep);
        }
        uint8_t chunk[256];
        size_t count = 0;
        const size_t room = std::min(sizeof chunk, kMaxCollected - received.size());
        if (line_.ReadFor(chunk, room, count, waitMs)) {
            received.insert(received.end(), chunk, chunk + count);
            lastActivity_ = clock_.Now();
            continue;
        }
        if (line_.HasHungUp() || !line_.IsOpen()) return BusResult::kLineClosed;
        if (received.empty()) continue;
        // A pause inside a frame. When it is the device's reply, it has broken
        // off; anything else was noise, and the reply may still come.
        if (received[0] == expect.address) return BusResult::kShort;
        sawNoise = true;
        discardedBytes_ += received.size();
        received.clear();
    }
}

BusResult CBusMaster::Decode(CBusDevice& device, int transactionCode,
                             const std::vector<uint8_t>& reply) {
    CModbusFrame& frame = device.Frame();
    frame.ClearResponse();
    frame.AppendResponse(reply.data(), reply.size());
    if (!frame.ValidateResponse(device.Address())) {
        frame.ClearResponse();
        return BusResult::kShort;
    }
    // The decoder moves the code on for every accepted reply; the address scan
    // is accepted with result 0 and leaves the code to its caller.
    std::atomic<int32_t> code{transactionCode};
    const int32_t decoded = frame.DecodeResponse(code);
    const bool accepted = code.load() != transactionCode || decoded == 0;
    return accepted ? BusResult::kOk : BusResult::kRejected;
}

CycleResult CBusMaster::ReadCycle(CBusDevice& device, const std::function<bool()>& stop) {
    CycleResult cycle;
    for (int code = 0; code < kCycleBlocks; ++code) {
        if (stop && stop()) {
            cycle.stopped = true;
            break;
        }
        const TransactionResult result = Transact(device, code);
        if (code == 0) {
            cycle.firstRequest = result.firstRequest;
            cycle.lastDecoded = result.firstRequest;
        }
        const auto block = static_cast<size_t>(code);
        cycle.asked[block] = true;
        cycle.results[block] = result.result;
        cycle.decoded[block] = result.result == BusResult::kOk;
        if (cycle.decoded[block]) cycle.lastDecoded = result.finished;
        if (result.result == BusResult::kLineClosed) {
            cycle.lineClosed = true;
            break;
        }
        if (code == 0 && result.result == BusResult::kTimeout) break;
    }
    return cycle;
}

}  // namespace kestrane
