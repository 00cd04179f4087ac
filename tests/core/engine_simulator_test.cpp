// The engine end to end: a real serial port on the simulator's
// pseudo-terminal, the receive pass on a worker thread, the simulator serving
// on its own. Under ThreadSanitizer this covers the port, the engine and the
// frame together.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "protocol/CTransactionEngine.h"
#include "protocol/ReceiveWorker.h"
#include "protocol/TextCodec.h"
#include "serial/CSerialPort.h"
#include "sim/SimulatorThread.h"
#include "support/FakeEngineHost.h"

namespace kestrane {
namespace {

using namespace std::chrono_literals;
using sim::SimulatorOptions;
using sim::SimulatorThread;
using testing::FakeEngineHost;

class EngineOnSimulator : public ::testing::Test {
protected:
    void Connect(SimulatorOptions options, int selectedAddress) {
        simulator = std::make_unique<SimulatorThread>(options);
        std::string error;
        ASSERT_TRUE(simulator->Start(&error)) << error;
        ASSERT_TRUE(port.Open(simulator->DevicePath())) << port.LastErrorText();
        ASSERT_TRUE(port.Configure(9600)) << port.LastErrorText();
        host.Select(selectedAddress - 1);
        engine = std::make_unique<CTransactionEngine>(shared, port, host);
        engine->StartMonitoring();
    }

    void TearDown() override {
        if (engine) engine->StopMonitoring();
        worker.Join();
        port.Close();
        if (simulator) simulator->Stop();
    }

    // Ticks every 20 ms (the engine does not depend on the period) until
    // `done` holds; false when a generous limit passes first.
    template <typename Done>
    bool TickUntil(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            if (engine->OnTimer1Tick()) worker.Start([this] { engine->ReceivePass(); });
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }

    SharedState shared;
    FakeEngineHost host;
    CSerialPort port;
    std::unique_ptr<SimulatorThread> simulator;
    std::unique_ptr<CTransactionEngine> engine;
    ReceiveWorker worker;
};

TEST_F(EngineOnSimulator, ReadsEveryBlockFromAPromptController) {
    Connect({.address = 3, .daySeconds = 0}, 3);
    ASSERT_TRUE(TickUntil([&] { return engine->CompleteReadCycles() >= 2; }));
    EXPECT_EQ(shared.data.controllerAddress.load(), 3);
    const auto words = simulator->Registers(0x0801, ControllerData::kSerialWords);
    std::vector<uint16_t> serial(words.begin(), words.end());
    EXPECT_EQ(WordsToText(shared.data.serialNumber, ControllerData::kSerialWords),
              WordsToText(serial.data(), ControllerData::kSerialWords));
    EXPECT_FALSE(WordsToText(serial.data(), ControllerData::kSerialWords).empty());
}

TEST_F(EngineOnSimulator, KeepsCyclingThroughLostCorruptSplitAndNoisyReplies) {
    Connect({.address = 1,
             .seed = 7,
             .daySeconds = 0,
             .drop = 0.15,
             .corrupt = 0.1,
             .exception = 0.05,
             .split = 0.3,
             .noise = 0.1},
            1);
    ASSERT_TRUE(TickUntil([&] { return engine->CompleteReadCycles() >= 3; }));
    EXPECT_GT(engine->framesSent.load(), engine->repliesReceived.load());
    EXPECT_EQ(shared.data.controllerAddress.load(), 1);
}

TEST_F(EngineOnSimulator, ScanFindsTheControllerThenAddressChangeFollowsIt) {
    Connect({.address = 5, .daySeconds = 0}, 1);
    engine->BeginAddressScan();
    ASSERT_TRUE(TickUntil([&] { return shared.settingsStatus.load() == 5; }));
    EXPECT_EQ(host.SelectedAddressIndex(), 4);

    shared.data.newAddress.store(9);
    shared.settingsStatus.store(3);
    shared.pendingWrite.store(5);
    ASSERT_TRUE(TickUntil([&] { return shared.settingsStatus.load() == 1; }));
    const uint32_t cycles = engine->CompleteReadCycles();
    ASSERT_TRUE(TickUntil([&] { return engine->CompleteReadCycles() > cycles; }));
    EXPECT_EQ(simulator->Address(), 9);
    EXPECT_EQ(host.SelectedAddressIndex(), 8);
    EXPECT_EQ(shared.data.controllerAddress.load(), 9);
}

}  // namespace
}  // namespace kestrane
