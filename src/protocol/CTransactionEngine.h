// Drives all traffic with the controller, one transaction at a time.
//
// The host calls OnTimer1Tick every 100 ms on one thread (the tick thread).
// On a tick with the link free the engine picks the next transaction (a queued
// write, or the next read block), writes its request and returns true: the
// host must then run ReceivePass exactly once, on a worker thread or inline;
// the engine does not know which. The pass collects the reply until the line
// falls silent, validates and decodes it, and frees the link. A reply that
// never comes leaves the link busy until the watchdog of the tick frees it;
// the same transaction is then sent again.
//
// The tick side and the pass take turns through linkIdle and receiveRunning;
// in addition the tick never sends while a pass is still winding down, so the
// frame buffers are only ever touched by one thread at a time.
#pragma once

#include <atomic>
#include <cstdint>

#include "protocol/CModbusFrame.h"
#include "protocol/EngineHost.h"
#include "protocol/SharedState.h"
#include "serial/SerialLine.h"

namespace kestrane {

class CTransactionEngine {
public:
    static constexpr int32_t kReadBlockCount = 8;  // codes 0-7
    static constexpr int32_t kHighestAddress = 247;

    CTransactionEngine(SharedState& shared, ISerialLine& line, IEngineHost& host);
    CTransactionEngine(const CTransactionEngine&) = delete;
    CTransactionEngine& operator=(const CTransactionEngine&) = delete;

    // --- Tick thread ---

    // Monitoring starts: the read cycle from block 0, link counters zeroed. A
    // write queued before is still sent on the first free tick.
    void StartMonitoring();
    // Monitoring stops: a running pass ends at its next look; the link is free.
    void StopMonitoring();
    // CHECK ADDRESS: queues the address scan and zeroes the link counters.
    void BeginAddressScan();
    // The port was closed: a running pass ends; the link is free.
    void OnPortClosed();
    // The window closes: a running pass ends and nothing is sent any more.
    void OnWindowClosing();
    // One 100 ms tick. True when a request was written and the host must now
    // run ReceivePass once.
    [[nodiscard]] bool OnTimer1Tick();

    // --- Receive worker ---

    // Collects, validates and decodes the reply to the request just written;
    // loops while receiveRunning is set.
    void ReceivePass();

    // How often read block `code` (0-7) has been decoded, and how many full
    // read cycles that makes (the count of the least decoded block).
    uint32_t ReadBlockDecodes(int code) const;
    uint32_t CompleteReadCycles() const;

    // The port was (re)opened: from now on SettingsBlocksRead waits for the
    // blocks the parameter fields show to be read again from this line.
    void NotePortOpened();
    // True once every block that feeds the parameter edit fields (battery,
    // lead-acid, lithium, load control) has been decoded since the port was
    // opened. A reader that sees true also sees the values those decodes
    // stored.
    bool SettingsBlocksRead() const;

    // The frame in flight; for tests and diagnostics only.
    const CModbusFrame& Frame() const { return frame_; }

    // Engine state, readable by the host (display, event log) and tests.
    std::atomic<int32_t> TransactionCode{0};
    std::atomic<int32_t> deviceAddress{1};
    std::atomic<int32_t> linkIdle{1};
    std::atomic<int32_t> receiveRunning{0};
    std::atomic<int32_t> framesSent{0};
    std::atomic<int32_t> repliesReceived{0};
    std::atomic<int32_t> bytesSent{0};
    std::atomic<int32_t> bytesReceived{0};
    std::atomic<int32_t> addressWriteTicks{0};
    std::atomic<int32_t> busyTicks{0};
    std::atomic<int32_t> logTicks{0};
    std::atomic<int32_t> shortReplies{0};

private:
    bool LinkFree() const;
    void ChooseAddress();
    void TakePendingWrite();
    void BuildRequest();
    void GiveUpAddressWrite();
    void SendRequest();
    void CountBusyTick();
    void CountLogTick();

    void OnSilence();
    void EndSpecialFrame();
    void AcceptValidReply();
    void AfterDecode(int32_t sentCode, int32_t result, uint8_t replyAddress);
    void SwitchToAddress(int32_t address);

    SharedState& shared_;
    ISerialLine& line_;
    IEngineHost& host_;
    CModbusFrame frame_;

    // 1 from the send until ReceivePass has returned.
    std::atomic<int32_t> passActive_{0};
    // Consecutive sends of the special frame; three without a reply end it.
    std::atomic<int32_t> specialFrameSends_{0};
    // After an address change the controller never confirmed: the address
    // whose first valid reply reports the change done; 0 when none is awaited.
    std::atomic<int32_t> awaitedAddress_{0};
    std::atomic<uint32_t> blockDecodes_[kReadBlockCount]{};
    // blockDecodes_ as it stood when the port was last opened.
    std::atomic<uint32_t> decodesAtOpen_[kReadBlockCount]{};
};

}  // namespace kestrane
