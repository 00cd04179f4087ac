// The bus master over a scripted line and a clock that jumps: replies end at
// their expected length, noise, echoes and late replies are skipped, failures
// are retried and counted by class.
#include <gtest/gtest.h>

#include "bus/BusTiming.h"
#include "bus/CBusMaster.h"
#include "protocol/RegisterMap.h"
#include "support/FakeBusClock.h"
#include "support/FakeController.h"
#include "support/ScriptedLine.h"

namespace kestrane {
namespace {

using testing::Bytes;
using testing::FakeBusClock;
using testing::FakeController;
using testing::ReadReply;
using testing::ScriptedLine;
using testing::WithCrc;
using R = BusResult;

const Bytes kReadRealTime{0x01, 0x03, 0x00, 0x00, 0x00, 0x0F, 0x05, 0xCE};

class BusMasterTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock.Drive(line);
        controller.LoadPlausibleValues();
    }

    CBusMaster& Master(int retries = 2) {
        BusOptions options;
        options.retries = retries;
        master = std::make_unique<CBusMaster>(line, options, clock);
        return *master;
    }
    // The reply the controller gives to a read of `code`'s block.
    Bytes AnswerTo(int code) {
        const ReadBlock block = *ReadBlockFor(code);
        Bytes request{1,
                      3,
                      static_cast<uint8_t>(block.startRegister >> 8),
                      static_cast<uint8_t>(block.startRegister & 0xFF),
                      0,
                      static_cast<uint8_t>(block.registerCount)};
        return controller.Answer(WithCrc(request));
    }

    ScriptedLine line;
    FakeBusClock clock;
    FakeController controller{1};
    std::unique_ptr<CBusMaster> master;
};

TEST_F(BusMasterTest, ReplyEndsAtItsExpectedLengthWithoutWaitingForSilence) {
    CBusMaster& bus = Master();
    controller.SetRegisters(0x0000, {2, 0xFFF6});
    line.SetResponder(controller.Responder());
    ASSERT_EQ(bus.Transact(bus.Device(1), 1).result, R::kOk);
    const auto start = clock.Now();
    const TransactionResult result = bus.Transact(bus.Device(1), 0);

    EXPECT_EQ(result.result, R::kOk);
    EXPECT_EQ(line.LastWritten(), kReadRealTime);  // the window's bytes
    EXPECT_EQ(line.ReadCalls(), 2);                // each reply in one read, and no read after it
    // Only the quiet time between the two transactions passed.
    EXPECT_EQ(clock.Since(start), InterFrameGap(9600).count());
    EXPECT_EQ(bus.Device(1).Data().chargeState.load(), 2);
    EXPECT_EQ(bus.Device(1).Data().pvVoltage.load(), 0xFFF6);
    EXPECT_EQ(bus.Device(1).Counters().Count(R::kOk), 2u);
}

TEST_F(BusMasterTest, ReplyInPiecesIsJoinedButAPauseInsideItBreaksIt) {
    CBusMaster& bus = Master(1);
    const Bytes reply = AnswerTo(0);
    const Bytes head(reply.begin(), reply.begin() + 3), rest(reply.begin() + 3, reply.end());
    line.QueueReply({head, rest});      // pieces back to back
    line.QueueReply({head, {}, rest});  // a silence after the header
    line.QueueReply({reply});
    EXPECT_EQ(bus.Transact(bus.Device(1), 0).result, R::kOk);
    const TransactionResult broken = bus.Transact(bus.Device(1), 0);
    EXPECT_EQ(broken.result, R::kOk);
    EXPECT_EQ(broken.attempts, 2);
    EXPECT_EQ(bus.Counters().Count(R::kShort), 1u);
    EXPECT_EQ(bus.Counters().Count(R::kOk), 2u);
}

TEST_F(BusMasterTest, NoiseBeforeTheReplyIsDropped) {
    CBusMaster& bus = Master(0);
    const Bytes reply = AnswerTo(0);
    // Garbage in the same burst, and garbage that looks like the start of a
    // frame from this device, followed by a pause.
    Bytes burst{0xFF, 0x00, 0x01, 0x03};
    burst.insert(burst.end(), reply.begin(), reply.end());
    line.QueueReply({burst});
    line.QueueReply({{0x07, 0x03, 0xFF}, {}, reply});
    EXPECT_EQ(bus.Transact(bus.Device(1), 0).result, R::kOk);
    EXPECT_EQ(bus.Transact(bus.Device(1), 0).result, R::kOk);
    EXPECT_EQ(bus.DiscardedBytes(), 7u);
    EXPECT_EQ(bus.Device(1).Data().alarmCode.load(), controller.Register(0x000E));
}

TEST_F(BusMasterTest, EchoOfTheRequestIsSkipped) {
    CBusMaster& bus = Master(0);
    line.SetResponder([&](const Bytes& request) -> testing::Reply {
        return {request, controller.Answer(request)};
    });
    EXPECT_EQ(bus.Transact(bus.Device(1), 0).result, R::kOk);
    EXPECT_EQ(bus.Transact(bus.Device(1), 1).result, R::kOk);
    EXPECT_EQ(bus.Counters().Count(R::kEcho), 2u);
    EXPECT_EQ(bus.Device(1).Data().batteryType.load(), controller.Register(0x0101));
}

TEST_F(BusMasterTest, SingleRegisterWriteIsAnsweredByACopyOfItself) {
    CBusMaster& bus = Master(0);
    CBusDevice& device = bus.Device(1);
    device.State().data.newAddress = 9;
    line.SetResponder(controller.Responder());
    EXPECT_EQ(bus.Transact(device, kAddressWriteCode).result, R::kOk);
    EXPECT_EQ(controller.Register(0x0203), 9);
    EXPECT_EQ(bus.Counters().Count(R::kEcho), 0u);
    EXPECT_EQ(device.State().settingsStatus.load(), 1);
}

TEST_F(BusMasterTest, LateReplyToAnEarlierRequestNeverCompletesALaterOne) {
    CBusMaster& bus = Master(0);
    CBusDevice& device = bus.Device(1);
    controller.SetRegisters(0x0101, {3});
    EXPECT_EQ(bus.Transact(device, 0).result, R::kTimeout);
    // Block 0's reply turns up while block 1 is asked for, then block 1's.
    line.QueueReply({AnswerTo(0), AnswerTo(1)});
    EXPECT_EQ(bus.Transact(device, 1).result, R::kOk);
    EXPECT_EQ(device.Data().batteryType.load(), 3);
    EXPECT_EQ(device.Data().chargeState.load(), 0);  // block 0 was never decoded
    EXPECT_EQ(bus.DiscardedBytes(), AnswerTo(0).size());
}

TEST_F(BusMasterTest, LateReplyFromAnotherDeviceIsPassedOver) {
    CBusMaster& bus = Master(0);
    Bytes otherDevice = AnswerTo(0);
    otherDevice[0] = 6;
    otherDevice = WithCrc(Bytes(otherDevice.begin(), otherDevice.end() - 2));
    line.QueueReply({otherDevice, AnswerTo(0)});
    EXPECT_EQ(bus.Transact(bus.Device(1), 0).result, R::kOk);
    EXPECT_EQ(bus.Device(1).Data().alarmCode.load(), controller.Register(0x000E));
    EXPECT_EQ(bus.DiscardedBytes(), otherDevice.size());
}

TEST_F(BusMasterTest, StaleInputIsFlushedBeforeEveryRequest) {
    CBusMaster& bus = Master(0);
    line.SetResponder(controller.Responder());
    line.InjectInput(AnswerTo(0));
    EXPECT_EQ(bus.Transact(bus.Device(1), 1).result, R::kOk);
    EXPECT_EQ(line.DiscardCalls(), 1);
    EXPECT_EQ(bus.DiscardedBytes(), 0u);
}

TEST_F(BusMasterTest, FailedAttemptsAreRetriedAndEachIsCounted) {
    CBusMaster& bus = Master(2);
    CBusDevice& device = bus.Device(1);
    Bytes badCrc = AnswerTo(0);
    badCrc.back() ^= 0xFF;
    Bytes otherAddress = AnswerTo(0);
    otherAddress[0] = 2;
    otherAddress = WithCrc(Bytes(otherAddress.begin(), otherAddress.end() - 2));
    line.QueueReply({badCrc});
    line.QueueReply({otherAddress});
    line.QueueReply({AnswerTo(0)});
    const TransactionResult result = bus.Transact(device, 0);
    EXPECT_EQ(result.result, R::kOk);
    EXPECT_EQ(result.attempts, 3);

    line.QueueReply({WithCrc({1, 0x83, 0x02})});
    line.QueueReply({testing::WriteReply(1, 16, 0x0000, 15)});  // another function
    const TransactionResult failed = bus.Transact(device, 0);   // third attempt: silence
    EXPECT_EQ(failed.result, R::kTimeout);
    EXPECT_EQ(failed.attempts, 3);

    // A caller may ask for fewer attempts than configured, e.g. to probe a
    // device that has stopped answering.
    EXPECT_EQ(bus.Transact(device, 0, 0).attempts, 1);

    const LinkCounters& counts = device.Counters();
    EXPECT_EQ(counts.requests, 7u);
    for (const auto& [result, count] : std::vector<std::pair<R, uint32_t>>{{R::kOk, 1},
                                                                           {R::kCrcError, 1},
                                                                           {R::kOtherAddress, 1},
                                                                           {R::kException, 1},
                                                                           {R::kWrongFunction, 1},
                                                                           {R::kTimeout, 2}})
        EXPECT_EQ(counts.Count(result), count) << BusResultName(result);
    EXPECT_EQ(bus.Counters().results, counts.results);
}

TEST_F(BusMasterTest, ExceptionReplyCarriesItsCode) {
    CBusMaster& bus = Master(0);
    line.QueueReply({WithCrc({1, 0x83, 0x02})});
    const TransactionResult result = bus.Transact(bus.Device(1), 0);
    EXPECT_EQ(result.result, R::kException);
    EXPECT_EQ(result.exceptionCode, 2);
    EXPECT_EQ(line.ReadCalls(), 1);  // five bytes complete it
}

TEST_F(BusMasterTest, SilentDeviceCostsTheResponseTimeoutPerAttempt) {
    BusOptions options;
    options.responseTimeoutMs = 50;
    options.retries = 1;
    CBusMaster bus(line, options, clock);
    const auto start = clock.Now();
    EXPECT_EQ(bus.Transact(bus.Device(1), 0).result, R::kTimeout);
    EXPECT_EQ(line.Written().size(), 2u);
    // Each attempt waits for the request to leave and then the timeout; the
    // line has been quiet long enough before the retry.
    const long long perAttempt = WireTime(9600, 8).count() + 50'000;
    EXPECT_GE(clock.Since(start), 2 * perAttempt);
    EXPECT_LE(clock.Since(start), 2 * perAttempt + 2'000);
}

TEST_F(BusMasterTest, RejectedLeadAcidValuesAreNotStored) {
    CBusMaster& bus = Master(0);
    controller.SetRegisters(0x0703, {150, 151, 110, 110});  // recovery above protection
    line.SetResponder(controller.Responder());
    EXPECT_EQ(bus.Transact(bus.Device(1), 3).result, R::kRejected);
    EXPECT_EQ(bus.Device(1).Data().overVoltageRecover.load(), 0);
}

// Two controllers at addresses 1 and 2 on one line; `silent` never answers.
class BusCycleTest : public BusMasterTest {
protected:
    void SetUp() override {
        BusMasterTest::SetUp();
        second.LoadPlausibleValues();
        second.SetRegisters(0x0000, {3, 777});
        line.SetResponder([this](const Bytes& request) -> testing::Reply {
            if (request[0] == 1) return {controller.Answer(request)};
            if (request[0] == 2) return {second.Answer(request)};
            return {};
        });
    }
    FakeController second{2};
};

TEST_F(BusCycleTest, CycleReadsTheEightBlocksIntoEachDevicesOwnRecord) {
    CBusMaster& bus = Master();
    const CycleResult first = bus.ReadCycle(bus.Device(1));
    const CycleResult other = bus.ReadCycle(bus.Device(2));
    EXPECT_TRUE(first.Complete());
    EXPECT_TRUE(other.Complete());
    EXPECT_EQ(line.Written().size(), 16u);  // nothing after the last block
    EXPECT_EQ(bus.Device(2).Data().pvVoltage.load(), 777);
    EXPECT_NE(bus.Device(1).Data().pvVoltage.load(), 777);
    EXPECT_EQ(bus.Device(1).Counters().requests, 8u);
    EXPECT_EQ(bus.Counters().Count(R::kOk), 16u);
    EXPECT_GE(first.lastDecoded, first.firstRequest);
}

TEST_F(BusCycleTest, DeviceSilentOnTheFirstBlockIsNotAskedForTheOthers) {
    CBusMaster& bus = Master(1);
    const CycleResult missing = bus.ReadCycle(bus.Device(5));
    EXPECT_FALSE(missing.Complete());
    EXPECT_TRUE(missing.asked[0]);
    EXPECT_FALSE(missing.asked[1]);
    EXPECT_EQ(line.Written().size(), 2u);
    EXPECT_TRUE(bus.ReadCycle(bus.Device(2)).Complete());
    EXPECT_EQ(bus.Device(5).Counters().Count(R::kTimeout), 2u);
    EXPECT_EQ(bus.Device(2).Counters().Count(R::kTimeout), 0u);
}

TEST_F(BusCycleTest, HungUpLineEndsTheCycleAndNothingMoreIsSent) {
    CBusMaster& bus = Master();
    int answered = 0;
    line.SetResponder([&](const Bytes& request) -> testing::Reply {
        if (++answered == 3) {
            line.SetHungUp(true);
            return {};
        }
        return {controller.Answer(request)};
    });
    const CycleResult cycle = bus.ReadCycle(bus.Device(1));
    EXPECT_TRUE(cycle.lineClosed);
    EXPECT_TRUE(cycle.decoded[1]);
    EXPECT_EQ(cycle.results[2], R::kLineClosed);
    EXPECT_EQ(line.Written().size(), 3u);
    EXPECT_TRUE(bus.LineClosed());
    EXPECT_EQ(bus.Transact(bus.Device(2), 0).result, R::kLineClosed);
    EXPECT_EQ(line.Written().size(), 3u);
}

TEST(BusTiming, CharacterTimesFollowTheRate) {
    EXPECT_EQ(InterFrameGap(9600).count(), 3646);  // 3.5 x 10 bits at 9600
    EXPECT_EQ(InterFrameGap(19200).count(), 1823);
    EXPECT_EQ(InterFrameGap(38400).count(), 1750);
    EXPECT_EQ(InterCharacterTimeout(115200).count(), 2000);
    EXPECT_EQ(InterCharacterTimeout(9600).count(), 2000);
    EXPECT_EQ(InterCharacterTimeout(1200).count(), 12500);
    EXPECT_EQ(WireTime(9600, 8).count(), 8334);
}

}  // namespace
}  // namespace kestrane
