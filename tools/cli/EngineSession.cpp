#include "EngineSession.h"

#include <thread>

namespace kestrane::cli {

using Clock = std::chrono::steady_clock;

EngineSession::EngineSession(SharedState& shared, ISerialLine& line, int address)
    : host_(address), engine_(shared, line, host_) {}

EngineSession::~EngineSession() {
    engine_.StopMonitoring();
    worker_.Join();
}

bool EngineSession::Run(const std::function<bool(const SessionFigures&)>& finished,
                        Clock::duration limit, const std::atomic<bool>& interrupted,
                        const std::function<void()>& everySecond) {
    engine_.StartMonitoring();
    figures_ = SessionFigures{};
    const Clock::time_point start = Clock::now();
    Clock::time_point nextTick = start;
    Clock::time_point nextSecond = start + std::chrono::seconds(1);
    bool done = false;
    while (!interrupted.load()) {
        if (engine_.OnTimer1Tick()) worker_.Start([this] { engine_.ReceivePass(); });
        NoteCycles(start);
        if (finished && finished(figures_)) {
            done = true;
            break;
        }
        const Clock::time_point now = Clock::now();
        if (limit != Clock::duration::zero() && now - start >= limit) break;
        if (everySecond && now >= nextSecond) {
            everySecond();
            nextSecond += std::chrono::seconds(1);
        }
        nextTick += kTickPeriod;
        std::this_thread::sleep_until(nextTick);
    }
    engine_.StopMonitoring();
    worker_.Join();
    NoteCycles(start);
    if (!done && finished && finished(figures_)) done = true;
    figures_.framesSent = engine_.framesSent.load();
    figures_.repliesReceived = engine_.repliesReceived.load();
    figures_.elapsed = Clock::now() - start;
    return done;
}

void EngineSession::NoteCycles(Clock::time_point start) {
    const uint32_t cycles = engine_.CompleteReadCycles();
    if (cycles == figures_.cyclesCompleted) return;
    figures_.lastCycleEnd = Clock::now() - start;
    if (figures_.cyclesCompleted == 0) figures_.firstCycleEnd = figures_.lastCycleEnd;
    figures_.cyclesCompleted = cycles;
}

}  // namespace kestrane::cli
