// The engine with its receive pass on a real worker thread, as the window and
// the command-line tool run it. Built with ThreadSanitizer these tests catch
// the tick and the worker touching the same data without an order between them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "protocol/CTransactionEngine.h"
#include "protocol/ReceiveWorker.h"
#include "support/FakeController.h"
#include "support/FakeEngineHost.h"
#include "support/ScriptedLine.h"

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using testing::FakeController;
using testing::FakeEngineHost;
using testing::Reply;
using testing::ScriptedLine;

constexpr auto kGenerousLimit = 20s;

class ThreadedEngine : public ::testing::Test {
protected:
    void SetUp() override {
        controller.LoadPlausibleValues();
        // Every fifth reply is lost and every seventh arrives corrupted; the
        // rest come in two pieces.
        line.SetResponder([this](const Bytes& request) -> Reply {
            const int n = ++requests;
            Bytes answer = controller.Answer(request);
            if (answer.empty() || n % 5 == 0) return {};
            if (n % 7 == 0) answer[answer.size() / 2] ^= 0x5A;
            const auto half = static_cast<std::ptrdiff_t>(answer.size() / 2);
            return {Bytes(answer.begin(), answer.begin() + half),
                    Bytes(answer.begin() + half, answer.end())};
        });
        engine.StartMonitoring();
    }

    // Ticks (every millisecond, not 100: the engine does not care) until
    // `done` holds or the limit passes.
    template <typename Done>
    bool TickUntil(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + kGenerousLimit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            if (engine.OnTimer1Tick()) worker.Start([this] { engine.ReceivePass(); });
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    std::atomic<int> requests{0};
    SharedState shared;
    ScriptedLine line;
    FakeEngineHost host{0};
    FakeController controller{1};
    CTransactionEngine engine{shared, line, host};
    ReceiveWorker worker;  // declared last: joined before the engine goes
};

TEST_F(ThreadedEngine, ReadCyclesCompleteDespiteLostAndCorruptReplies) {
    ASSERT_TRUE(TickUntil([&] { return engine.CompleteReadCycles() >= 5; }));
    EXPECT_EQ(shared.data.pvVoltage.load(), 185);
    EXPECT_EQ(shared.data.chargedTotalWh.load(), 100000);
    EXPECT_GT(engine.framesSent.load(), engine.repliesReceived.load());
    EXPECT_EQ(host.framesShown.load(), engine.framesSent.load());
}

TEST_F(ThreadedEngine, QueuedWritesAndAddressScanRunBetweenReads) {
    shared.data.batteryWrite[0].store(5);
    shared.settingsStatus.store(3);
    shared.pendingWrite.store(1);
    ASSERT_TRUE(TickUntil([&] { return shared.settingsStatus.load() == 1; }));
    EXPECT_EQ(controller.Register(0x0101), 5);

    host.Select(240);
    controller.SetAddress(4);
    engine.BeginAddressScan();
    ASSERT_TRUE(TickUntil([&] { return shared.settingsStatus.load() == 5; }));
    ASSERT_TRUE(TickUntil([&] { return engine.TransactionCode.load() != 0; }));
    EXPECT_EQ(host.SelectedAddressIndex(), 3);
}

TEST_F(ThreadedEngine, StopAndStartWhilePassesRunLeaveTheEngineWorking) {
    for (int round = 0; round < 50; ++round) {
        if (engine.OnTimer1Tick()) worker.Start([this] { engine.ReceivePass(); });
        engine.StopMonitoring();
        std::this_thread::sleep_for(100us);
        engine.StartMonitoring();
    }
    const uint32_t before = engine.CompleteReadCycles();
    ASSERT_TRUE(TickUntil([&] { return engine.CompleteReadCycles() >= before + 2; }));
    engine.StopMonitoring();
    worker.Join();
    EXPECT_EQ(engine.receiveRunning.load(), 0);
}

}  // namespace
}  // namespace kestrane
