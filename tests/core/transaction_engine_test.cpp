#include <gtest/gtest.h>

#include "protocol/CTransactionEngine.h"
#include "support/FakeController.h"
#include "support/FakeEngineHost.h"
#include "support/ScriptedLine.h"

namespace kestrane {
namespace {

using testing::Bytes;
using testing::FakeController;
using testing::FakeEngineHost;
using testing::ReadReply;
using testing::ScriptedLine;
using testing::WithCrc;
using testing::WriteReply;

uint16_t StartRegister(const Bytes& frame) {
    return static_cast<uint16_t>(frame.at(2) << 8 | frame.at(3));
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        controller.LoadPlausibleValues();
        line.SetResponder(controller.Responder());
        engine.StartMonitoring();
    }

    // One timer tick; a receive pass it asks for runs at once.
    bool Tick() {
        if (!engine.OnTimer1Tick()) return false;
        engine.ReceivePass();
        return true;
    }
    // Ticks until `count` more requests have been written (at most `limit` ticks).
    void TickUntilSent(size_t count, int limit = 5000) {
        const size_t target = line.Written().size() + count;
        for (int i = 0; i < limit && line.Written().size() < target; ++i)
            Tick();
        ASSERT_EQ(line.Written().size(), target);
    }
    std::vector<uint16_t> StartRegisters() const {
        std::vector<uint16_t> starts;
        for (const Bytes& frame : line.Written())
            starts.push_back(StartRegister(frame));
        return starts;
    }

    SharedState shared;
    ScriptedLine line;
    FakeEngineHost host{0};  // address 1 selected
    FakeController controller{1};
    CTransactionEngine engine{shared, line, host};
};

TEST_F(EngineTest, FirstTickReadsTheRealTimeBlockAtTheSelectedAddress) {
    ASSERT_TRUE(engine.OnTimer1Tick());
    EXPECT_EQ(line.LastWritten(), (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x0F, 0x05, 0xCE}));
    EXPECT_EQ(host.framesShown.load(), 1);
    EXPECT_EQ(engine.linkIdle.load(), 0);
    EXPECT_EQ(engine.receiveRunning.load(), 1);
    // Busy until the pass has run.
    EXPECT_FALSE(engine.OnTimer1Tick());
    engine.ReceivePass();
    EXPECT_EQ(engine.linkIdle.load(), 1);
    EXPECT_EQ(engine.TransactionCode.load(), 1);
}

TEST_F(EngineTest, ReadCycleVisitsTheEightBlocksAndStartsOver) {
    TickUntilSent(10);
    EXPECT_EQ(StartRegisters(), (std::vector<uint16_t>{0x0000, 0x0101, 0x0907, 0x0701, 0x0203,
                                                       0x0801, 0x0401, 0x0301, 0x0000, 0x0101}));
    // One request per tick while every reply comes at once.
    EXPECT_EQ(engine.framesSent.load(), 10);
    EXPECT_EQ(engine.repliesReceived.load(), 10);
    EXPECT_EQ(host.repliesShown.load(), 10);
    EXPECT_EQ(engine.CompleteReadCycles(), 1u);
    EXPECT_EQ(engine.ReadBlockDecodes(0), 2u);
    EXPECT_EQ(shared.data.pvVoltage.load(), 185);
    EXPECT_EQ(shared.data.chargedTotalWh.load(), 100000);
    EXPECT_EQ(engine.bytesSent.load(), 80);
    // 2 x (35 + 25 + 17 + 17 + 43 + 41 + 35 + 29) reply bytes, less the last two blocks once.
    EXPECT_EQ(engine.bytesReceived.load(), 242 + 35 + 25);
}

TEST_F(EngineTest, SettingsCountAsReadOnceTheirFourBlocksCameFromThisOpening) {
    engine.NotePortOpened();
    EXPECT_FALSE(engine.SettingsBlocksRead());
    TickUntilSent(6);  // blocks 0-5: the load-control block 0x0401 is still missing
    EXPECT_FALSE(engine.SettingsBlocksRead());
    TickUntilSent(1);
    EXPECT_TRUE(engine.SettingsBlocksRead());

    // Values read before a reopening may be another controller's.
    engine.NotePortOpened();
    EXPECT_FALSE(engine.SettingsBlocksRead());
    TickUntilSent(8);
    EXPECT_TRUE(engine.SettingsBlocksRead());
}

TEST_F(EngineTest, InvalidRepliesRepeatTheSameBlock) {
    Bytes badCrc = ReadReply(1, std::vector<uint16_t>(15, 7));
    badCrc.back() ^= 0xFF;
    const Bytes exception = WithCrc({0x01, 0x83, 0x02});
    const Bytes wrongFunction = WithCrc({0x01, 0x04, 0x02, 0x00, 0x07, 0x00});
    for (const Bytes& reply :
         {badCrc, WithCrc({0x01, 0x83, 0x02, 0x00}), exception, wrongFunction}) {
        SCOPED_TRACE(::testing::PrintToString(reply));
        line.QueueReply({reply});
        TickUntilSent(1);
        EXPECT_EQ(engine.TransactionCode.load(), 0);
        EXPECT_EQ(shared.data.pvVoltage.load(), 0);
    }
    TickUntilSent(2);
    EXPECT_EQ(StartRegisters(), (std::vector<uint16_t>{0, 0, 0, 0, 0, 0x0101}));
    EXPECT_EQ(engine.repliesReceived.load(), 2);
}

TEST_F(EngineTest, WriteAcknowledgementInReplyToAReadIsNotDecoded) {
    shared.data.pvVoltage.store(123);
    line.QueueReply({WriteReply(1, 16, 0x0101, 8)});
    ASSERT_TRUE(Tick());
    EXPECT_EQ(engine.TransactionCode.load(), 0);
    EXPECT_EQ(shared.data.pvVoltage.load(), 123);
    EXPECT_EQ(engine.repliesReceived.load(), 0);
    EXPECT_EQ(engine.linkIdle.load(), 1);
    ASSERT_TRUE(Tick());
    EXPECT_EQ(engine.TransactionCode.load(), 1);
    EXPECT_EQ(shared.data.pvVoltage.load(), 185);
}

TEST_F(EngineTest, WrongByteCountIsDroppedEvenWithAGoodCrc) {
    line.QueueReply({ReadReply(1, std::vector<uint16_t>(14, 7))});
    ASSERT_TRUE(Tick());
    EXPECT_EQ(engine.TransactionCode.load(), 0);
    EXPECT_EQ(shared.data.pvVoltage.load(), 0);
    EXPECT_EQ(engine.repliesReceived.load(), 0);
    // The link is free again at once; the dropped reply counts as short.
    EXPECT_EQ(engine.linkIdle.load(), 1);
    EXPECT_EQ(engine.shortReplies.load(), 1);
    ASSERT_TRUE(Tick());
    EXPECT_EQ(engine.TransactionCode.load(), 1);
}

TEST_F(EngineTest, NoSelectionInTheAddressListAddressesZero) {
    host.Select(-1);
    ASSERT_TRUE(Tick());
    EXPECT_EQ(line.LastWritten().at(0), 0);
    EXPECT_EQ(engine.deviceAddress.load(), 0);
}

TEST_F(EngineTest, SilenceLeavesTheLinkToTheWatchdogOnEveryThirdBusyTick) {
    line.SetResponder(nullptr);
    std::vector<int> sendingTicks;
    for (int tick = 1; tick <= 12; ++tick)
        if (Tick()) sendingTicks.push_back(tick);
    EXPECT_EQ(sendingTicks, (std::vector<int>{1, 5, 9}));
    EXPECT_EQ(engine.framesSent.load(), 3);
    EXPECT_EQ(engine.TransactionCode.load(), 0);

    // The count is not reset by a send: a reply in between leaves it where it was.
    line.SetResponder(controller.Responder());
    ASSERT_TRUE(Tick());  // tick 13: the watchdog freed the link on tick 12
    line.SetResponder(nullptr);
    ASSERT_TRUE(Tick());  // 14: answered above, so the link is free
    EXPECT_FALSE(Tick());
    EXPECT_FALSE(Tick());
    EXPECT_FALSE(Tick());
    EXPECT_TRUE(Tick());
}

TEST_F(EngineTest, EventLogCallOnEvery551stTickBusyOrNot) {
    line.SetResponder(nullptr);
    for (int tick = 1; tick <= 550; ++tick)
        Tick();
    EXPECT_EQ(host.logCalls.load(), 0);
    Tick();
    EXPECT_EQ(host.logCalls.load(), 1);
    EXPECT_EQ(engine.logTicks.load(), 0);
    for (int tick = 1; tick <= 551; ++tick)
        Tick();
    EXPECT_EQ(host.logCalls.load(), 2);
}

TEST_F(EngineTest, BatterySettingsChainRunsElevenTwelveTenThenTheSpecialFrame) {
    controller.SetSpecialFrameAnswer({0xAA, 0x01});
    shared.data.batteryWrite[0].store(2);
    shared.settingsStatus.store(3);
    shared.pendingWrite.store(2);
    TickUntilSent(5);
    const auto written = line.Written();
    EXPECT_EQ(StartRegister(written[0]), 0x0703);
    EXPECT_EQ(StartRegister(written[1]), 0x0907);
    EXPECT_EQ(StartRegister(written[2]), 0x0101);
    EXPECT_EQ(written[2][1], 16);
    EXPECT_EQ(written[3].at(0), 0xAA);
    EXPECT_EQ(written[3].size(), 11u);
    EXPECT_EQ(StartRegister(written[4]), 0x0000);
    EXPECT_EQ(shared.settingsStatus.load(), 1);
    EXPECT_EQ(shared.pendingWrite.load(), 0);
    EXPECT_EQ(controller.Register(0x0101), 2);
}

// Any answer to the special frame ends it, even one that validates; with
// none it goes out three times and then the read cycle resumes.
TEST_F(EngineTest, SpecialFrameEndsOnAnyReplyOrAfterThreeSilentSends) {
    struct Case {
        const char* name;
        Bytes answer;
        size_t specialFramesSent;
    };
    const Case cases[] = {
        {"valid Modbus reply", ReadReply(1, {0}), 1},
        {"garbage", {0x55}, 1},
        {"silence", {}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SharedState state;
        ScriptedLine scripted;
        FakeEngineHost fakeHost;
        FakeController device;
        device.SetSpecialFrameAnswer(c.answer);
        scripted.SetResponder(device.Responder());
        CTransactionEngine subject(state, scripted, fakeHost);
        subject.StartMonitoring();
        state.pendingWrite.store(1);
        size_t specials = 0;
        for (int tick = 0; tick < 40 && subject.TransactionCode.load() != 1; ++tick) {
            if (!subject.OnTimer1Tick()) continue;
            if (scripted.LastWritten().at(0) == 0xAA) ++specials;
            subject.ReceivePass();
        }
        EXPECT_EQ(specials, c.specialFramesSent);
        EXPECT_EQ(subject.TransactionCode.load(), 1);  // block 0 answered after it
    }
}

TEST_F(EngineTest, AddressScanWrapsFrom247AndStopsAtTheAnsweringAddress) {
    host.Select(246);
    controller.SetAddress(3);
    engine.BeginAddressScan();
    EXPECT_EQ(shared.settingsStatus.load(), 4);
    std::vector<int> polled;
    for (int tick = 0; tick < 100 && polled.size() < 5; ++tick)
        if (Tick()) polled.push_back(line.LastWritten().at(0));
    EXPECT_EQ(polled, (std::vector<int>{247, 1, 2, 3, 3}));
    EXPECT_EQ(host.Selections(), std::vector<int>{2});
    EXPECT_EQ(shared.settingsStatus.load(), 5);
    EXPECT_EQ(StartRegister(line.LastWritten()), 0x0000);
    EXPECT_EQ(engine.TransactionCode.load(), 1);  // block 0 read at the found address
}

TEST_F(EngineTest, AddressScanFindsADeviceAtTheSelectedAddressFirst) {
    engine.framesSent.store(9);
    engine.BeginAddressScan();
    EXPECT_EQ(engine.framesSent.load(), 0);
    ASSERT_TRUE(Tick());
    EXPECT_EQ(line.LastWritten().at(0), 1);
    EXPECT_EQ(shared.settingsStatus.load(), 5);
    EXPECT_EQ(engine.TransactionCode.load(), 0);
    EXPECT_EQ(host.Selections(), std::vector<int>{0});
}

// The controller takes the new address without acknowledging: polling moves
// there on the third free tick, and the change is reported done only when the
// new address answers.
TEST_F(EngineTest, UnansweredAddressChangeMovesOnButWaitsForTheNewAddress) {
    line.SetResponder(nullptr);
    shared.data.newAddress.store(9);
    shared.settingsStatus.store(5);
    shared.pendingWrite.store(5);
    TickUntilSent(3);
    const auto written = line.Written();
    EXPECT_EQ(written[0], WithCrc({0x01, 0x06, 0x02, 0x03, 0x00, 0x09}));
    EXPECT_EQ(written[1], written[0]);
    EXPECT_TRUE(written[2].empty());  // the third free tick sends nothing
    EXPECT_EQ(host.Selections(), std::vector<int>{8});
    EXPECT_EQ(engine.deviceAddress.load(), 9);
    EXPECT_EQ(engine.addressWriteTicks.load(), 0);
    EXPECT_EQ(engine.TransactionCode.load(), 0);
    EXPECT_EQ(shared.settingsStatus.load(), 3);

    // Still nobody at 9: the status stays.
    TickUntilSent(2);
    EXPECT_EQ(line.LastWritten().at(0), 9);
    EXPECT_EQ(shared.settingsStatus.load(), 3);

    controller.SetAddress(9);
    line.SetResponder(controller.Responder());
    TickUntilSent(1);
    EXPECT_EQ(shared.settingsStatus.load(), 1);
    EXPECT_EQ(engine.TransactionCode.load(), 1);
}

TEST_F(EngineTest, AnotherWriteQueuedAfterAnUnansweredAddressChangeOwnsTheStatus) {
    line.SetResponder(nullptr);
    shared.data.newAddress.store(9);
    shared.pendingWrite.store(5);
    TickUntilSent(3);
    ASSERT_EQ(shared.settingsStatus.load(), 3);
    controller.SetAddress(9);
    line.SetResponder(controller.Responder());
    shared.settingsStatus.store(3);
    shared.pendingWrite.store(7);  // factory restore
    TickUntilSent(1);
    EXPECT_EQ(line.LastWritten(), WithCrc({0x09, 0x06, 0x06, 0x01, 0x00, 0x06}));
    EXPECT_EQ(shared.settingsStatus.load(), 1);  // from the restore's own acknowledgement
    shared.settingsStatus.store(0);
    TickUntilSent(2);
    EXPECT_EQ(shared.settingsStatus.load(), 0);
}

TEST_F(EngineTest, AddressChangeAcknowledgedByTheOldAddressSwitchesToTheNewOne) {
    engine.addressWriteTicks.store(1);  // left over from an earlier change
    shared.data.newAddress.store(12);
    shared.pendingWrite.store(5);
    ASSERT_TRUE(Tick());
    EXPECT_EQ(line.LastWritten().at(0), 1);
    EXPECT_EQ(shared.settingsStatus.load(), 1);
    EXPECT_EQ(engine.TransactionCode.load(), 0);
    EXPECT_EQ(engine.addressWriteTicks.load(), 0);
    EXPECT_EQ(engine.deviceAddress.load(), 12);
    EXPECT_EQ(host.Selections(), std::vector<int>{11});
    controller.SetAddress(12);
    TickUntilSent(1);
    EXPECT_EQ(line.LastWritten().at(0), 12);
    EXPECT_EQ(engine.TransactionCode.load(), 1);
}

// A reply that arrives after its transaction was given up is thrown away
// before the next request goes out, so it cannot pass for that request's answer.
TEST_F(EngineTest, LateReplyIsDiscardedBeforeTheNextRequest) {
    TickUntilSent(1);
    ASSERT_EQ(engine.TransactionCode.load(), 1);
    line.InjectInput(ReadReply(1, std::vector<uint16_t>(15, 999)));
    const int discardsBefore = line.DiscardCalls();
    TickUntilSent(1);
    EXPECT_EQ(line.DiscardCalls(), discardsBefore + 1);
    EXPECT_EQ(StartRegister(line.LastWritten()), 0x0101);
    EXPECT_EQ(engine.TransactionCode.load(), 2);
    EXPECT_EQ(shared.data.batteryType.load(), 3);
    EXPECT_EQ(shared.data.pvVoltage.load(), 185);
}

TEST_F(EngineTest, ShortReplyFreesTheLinkAndTheFourthEndsThePassAtOnce) {
    // A reply cut short keeps the pass listening for the rest; what follows a
    // silence no longer matches the cleared request and is dropped.
    for (int i = 1; i <= 3; ++i) {
        line.QueueReply({{0x01, 0x03, 0x1E}});
        const int readsBefore = line.ReadCalls();
        ASSERT_TRUE(Tick());
        EXPECT_EQ(engine.shortReplies.load(), i);
        EXPECT_EQ(engine.linkIdle.load(), 1);
        EXPECT_EQ(line.ReadCalls() - readsBefore, 3);  // bytes, silence, silence
        EXPECT_EQ(engine.TransactionCode.load(), 0);
    }
    line.QueueReply({{0x01, 0x03}});
    const int readsBefore = line.ReadCalls();
    ASSERT_TRUE(Tick());
    EXPECT_EQ(engine.shortReplies.load(), 4);
    EXPECT_EQ(line.ReadCalls() - readsBefore, 2);  // bytes, silence
    EXPECT_EQ(engine.receiveRunning.load(), 0);
    ASSERT_TRUE(Tick());
    EXPECT_EQ(engine.TransactionCode.load(), 1);
}

TEST_F(EngineTest, ReplyInPiecesWithoutASilenceIsTakenWhole) {
    const Bytes reply = ReadReply(1, std::vector<uint16_t>(15, 77));
    line.QueueReply(
        {Bytes(reply.begin(), reply.begin() + 4), Bytes(reply.begin() + 4, reply.end())});
    ASSERT_TRUE(Tick());
    EXPECT_EQ(engine.TransactionCode.load(), 1);
    EXPECT_EQ(shared.data.pvVoltage.load(), 77);
    EXPECT_EQ(engine.bytesReceived.load(), 35);
}

TEST_F(EngineTest, StopEndsAPassAtItsNextLookAndFreesTheLink) {
    line.SetResponder(nullptr);
    ASSERT_TRUE(engine.OnTimer1Tick());
    engine.StopMonitoring();
    EXPECT_EQ(engine.linkIdle.load(), 1);
    EXPECT_EQ(engine.receiveRunning.load(), 0);
    // The pass still has to return before the next request goes out.
    EXPECT_FALSE(engine.OnTimer1Tick());
    const int readsBefore = line.ReadCalls();
    engine.ReceivePass();
    EXPECT_EQ(line.ReadCalls(), readsBefore);
    engine.StartMonitoring();
    EXPECT_TRUE(engine.OnTimer1Tick());
    engine.ReceivePass();
}

}  // namespace
}  // namespace kestrane
