// The fast RTU master for headless programs: one transaction at a time on one
// serial line, each reply complete as soon as its expected length has arrived.
//
// Before every request the line is kept quiet for the inter-frame gap (plus an
// optional turnaround delay) and stale input is dropped. A reply must start
// within the response timeout and may not pause longer than the
// inter-character timeout. Bytes that belong to no request (noise, an echo of
// the request, a late reply to an earlier one) are skipped, so a reply never
// completes a later request. Frames are built, validated and decoded by the
// same CModbusFrame code as the window's, into one record per device.
//
// Threads: one thread uses a master and its devices at a time.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "bus/BusClock.h"
#include "bus/BusResult.h"
#include "bus/CBusDevice.h"
#include "bus/ReplyScanner.h"
#include "serial/SerialLine.h"

namespace kestrane {

struct BusOptions {
    unsigned baud = 9600;
    int responseTimeoutMs = 300;
    // A pause this long inside a reply ends it as broken. 0 takes 1.5
    // character times at the rate, but at least kHostPauseMs: a user-space
    // reader on a busy host, or behind a USB adapter that hands bytes over in
    // packets, sees pauses of several milliseconds that were never on the wire.
    int interCharacterTimeoutMs = 0;
    static constexpr int kHostPauseMs = 20;
    // Extra quiet time before each request, for RS-485 adapters that are slow
    // to turn the line around.
    int turnaroundMs = 0;
    // Further attempts after a failed one.
    int retries = 2;
};

struct TransactionResult {
    BusResult result = BusResult::kTimeout;  // of the last attempt
    uint8_t exceptionCode = 0;               // with kException
    int attempts = 0;
    IBusClock::TimePoint firstRequest{};  // when the first attempt's request was written
    IBusClock::TimePoint finished{};
};

inline constexpr int kCycleBlocks = 8;

// One cycle of a device: the eight read blocks.
struct CycleResult {
    std::array<bool, kCycleBlocks> asked{};
    std::array<bool, kCycleBlocks> decoded{};
    std::array<BusResult, kCycleBlocks> results{};
    bool lineClosed = false;
    bool stopped = false;  // the caller's stop check ended the cycle early
    IBusClock::TimePoint firstRequest{};
    IBusClock::TimePoint lastDecoded{};  // firstRequest when nothing was decoded

    bool Complete() const;
};

class CBusMaster {
public:
    CBusMaster(ISerialLine& line, BusOptions options, IBusClock& clock);
    CBusMaster(const CBusMaster&) = delete;
    CBusMaster& operator=(const CBusMaster&) = delete;

    // The device at `address`, created with an empty record on first use.
    CBusDevice& Device(uint8_t address);

    // A read block (0-7, 14), a write code (10-13, 15-19) of the register map
    // or the 0xAA battery-type frame (50, done by any answer), retried up to
    // the configured number of times (or `retries` times when that is not
    // negative). Any other code is kRejected without a request.
    TransactionResult Transact(CBusDevice& device, int transactionCode, int retries = -1);

    // The eight read blocks in order. A device that gives no answer to block 0
    // is not asked for the others; a closed line ends the cycle. `stop` (may be
    // empty) is asked before every block.
    CycleResult ReadCycle(CBusDevice& device, const std::function<bool()>& stop = {});

    const LinkCounters& Counters() const { return counters_; }
    bool LineClosed() const { return lineClosed_; }
    // Bytes dropped because they belonged to no request.
    uint64_t DiscardedBytes() const { return discardedBytes_; }

private:
    BusResult Attempt(CBusDevice& device, int transactionCode, TransactionResult& result);
    BusResult AttemptBatteryTypeFrame(CBusDevice& device, TransactionResult& result);
    // Keeps the gap before the request, then writes it and counts it.
    BusResult Send(CBusDevice& device, std::span<const uint8_t> request, TransactionResult& result);
    int InterCharacterMs() const;
    bool BuildRequest(CBusDevice& device, int transactionCode, ReplyExpectation& expect);
    BusResult Collect(CBusDevice& device, const ReplyExpectation& expect,
                      IBusClock::TimePoint deadline, std::vector<uint8_t>& reply,
                      uint8_t& exceptionCode);
    BusResult Decode(CBusDevice& device, int transactionCode, const std::vector<uint8_t>& reply);
    void Count(CBusDevice& device, BusResult result);

    ISerialLine& line_;
    const BusOptions options_;
    IBusClock& clock_;
    std::map<uint8_t, std::unique_ptr<CBusDevice>> devices_;
    LinkCounters counters_;
    IBusClock::TimePoint lastActivity_{};
    bool lineClosed_ = false;
    bool busEchoes_ = false;
    uint64_t discardedBytes_ = 0;
};

}  // namespace kestrane
