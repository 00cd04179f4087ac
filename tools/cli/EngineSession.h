// Runs the transaction engine for the command-line tool: an open port, a host
// that keeps one fixed address (or the one a scan or address change moves it
// to), a 100 ms tick and one receive worker.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

#include "protocol/CTransactionEngine.h"
#include "protocol/ReceiveWorker.h"

namespace kestrane::cli {

class CliEngineHost : public IEngineHost {
public:
    explicit CliEngineHost(int address) : selectedIndex_(address - 1) {}

    int SelectedAddressIndex() const override { return selectedIndex_.load(); }
    void SelectAddressIndex(int index) override { selectedIndex_.store(index); }
    void ShowFramesSent(int32_t) override {}
    void ShowRepliesReceived(int32_t) override {}
    void OnLogTick() override {}

private:
    std::atomic<int> selectedIndex_;
};

struct SessionFigures {
    int32_t framesSent = 0;
    int32_t repliesReceived = 0;
    uint32_t cyclesCompleted = 0;  // full eight-block read cycles
    std::chrono::steady_clock::duration elapsed{};
    // When the first and the last complete cycle ended; zero when none did.
    std::chrono::steady_clock::duration firstCycleEnd{};
    std::chrono::steady_clock::duration lastCycleEnd{};
};

class EngineSession {
public:
    static constexpr std::chrono::milliseconds kTickPeriod{100};

    EngineSession(SharedState& shared, ISerialLine& line, int address);
    ~EngineSession();

    // Ticks every 100 ms until `finished` says so, `limit` has passed (zero:
    // no limit) or `interrupted` is set. `everySecond` (may be empty) runs once
    // a second on this thread. Returns true when `finished` ended the run.
    bool Run(const std::function<bool(const SessionFigures&)>& finished,
             std::chrono::steady_clock::duration limit, const std::atomic<bool>& interrupted,
             const std::function<void()>& everySecond);

    const CTransactionEngine& Engine() const { return engine_; }
    const SessionFigures& Figures() const { return figures_; }

private:
    void NoteCycles(std::chrono::steady_clock::time_point start);

    CliEngineHost host_;
    CTransactionEngine engine_;
    ReceiveWorker worker_;
    SessionFigures figures_;
};

}  // namespace kestrane::cli
