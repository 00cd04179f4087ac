// Several simulated controllers on one line: who answers, who carries out a
// broadcast, whose faults show, first without a line and then over a real
// pseudo-terminal.
#include <gtest/gtest.h>

#include <set>

#include "sim/FactoryDefaults.h"
#include "sim/SimBus.h"
#include "sim/SimulatorThread.h"
#include "support/ModbusTestFrames.h"
#include "support/SimulatorLine.h"

namespace kestrane::sim {
namespace {

using testing::CrcValid;
using testing::ReadRequest;
using testing::ReplyWords;
using testing::WriteMultipleRequest;
using testing::WriteSingleRequest;

SimulatorOptions Line(std::vector<int> devices) {
    SimulatorOptions options;
    options.devices = std::move(devices);
    options.address = options.devices.front();
    options.daySeconds = 0;
    return options;
}

// Everything the line carries in answer to `request`, pieces joined.
std::vector<uint8_t> Answer(SimBus& bus, const std::vector<uint8_t>& request) {
    std::vector<uint8_t> bytes;
    for (const Transmission& piece : bus.Handle({RtuFrame::Kind::kModbus, request}))
        bytes.insert(bytes.end(), piece.bytes.begin(), piece.bytes.end());
    return bytes;
}

TEST(SimBus, OnlyTheAddressedControllerAnswersFromItsOwnRegisters) {
    SimBus bus(Line({1, 2, 7}));
    const int addresses[] = {1, 2, 7};
    for (size_t i = 0; i < 3; ++i) {
        for (const ReadBlock& block : kReadBlocks) {
            const auto reply = Answer(
                bus, ReadRequest(static_cast<uint8_t>(addresses[i]), block.start, block.count));
            ASSERT_EQ(reply.size(), 5u + 2 * block.count) << addresses[i];
            EXPECT_EQ(reply[0], addresses[i]);
            EXPECT_TRUE(CrcValid(reply));
            std::vector<uint16_t> expected;
            for (int r = 0; r < block.count; ++r)
                expected.push_back(
                    bus.Device(i).Bank().Get(static_cast<uint16_t>(block.start + r)));
            EXPECT_EQ(ReplyWords(reply), expected);
        }
        EXPECT_EQ(bus.Requests(i), 8u);
    }
    EXPECT_TRUE(Answer(bus, ReadRequest(3, 0, 15)).empty());
    EXPECT_TRUE(Answer(bus, ReadRequest(0, 0, 15)).empty());  // a read cannot be broadcast
    EXPECT_EQ(bus.Requests(), 24u);
}

TEST(SimBus, EveryControllerHasItsOwnIdentityDayAndSettings) {
    SimulatorOptions options = Line({1, 2, 7});
    options.start.secondOfDay = 12 * 3600;  // noon: every panel delivers
    SimBus bus(options);
    bus.Advance(1800);
    std::set<std::string> serials;
    std::set<uint16_t> batteryVolts, chargeAmps;
    for (size_t i = 0; i < bus.Size(); ++i) {
        const RegisterBank& bank = bus.Device(i).Bank();
        serials.insert(bank.GetText(reg::kSerialNumber, reg::kSerialWords));
        batteryVolts.insert(bank.Get(reg::kBatteryVoltage));
        chargeAmps.insert(bank.Get(reg::kChargeCurrent));
        EXPECT_EQ(bank.Get(reg::kControllerAddress), BusAddresses(options)[i]);
    }
    EXPECT_EQ(serials.size(), 3u);
    EXPECT_EQ(serials.count(kFactorySerial), 1u);
    EXPECT_EQ(batteryVolts.size(), 3u);
    EXPECT_EQ(chargeAmps.size(), 3u);

    const auto write = WriteSingleRequest(2, reg::kCvChargeVoltage, 147);
    EXPECT_EQ(Answer(bus, write), write);
    EXPECT_EQ(bus.Device(1).Bank().Get(reg::kCvChargeVoltage), 147);
    EXPECT_EQ(bus.Device(0).Bank().Get(reg::kCvChargeVoltage), 144);
    EXPECT_EQ(bus.Device(2).Bank().Get(reg::kCvChargeVoltage), 144);
}

TEST(SimBus, TheFirstControllerIsTheSingleControllerOfOld) {
    SimulatorOptions single;
    single.address = 4;
    single.seed = 9;
    single.start.secondOfDay = 12 * 3600;
    SimulatorOptions line = single;
    line.devices = {4, 5};
    SimDevice alone(single);
    SimBus bus(line);
    alone.Advance(3600);
    bus.Advance(3600);
    for (const ReadBlock& block : kReadBlocks) {
        for (int r = 0; r < block.count; ++r) {
            const auto at = static_cast<uint16_t>(block.start + r);
            EXPECT_EQ(bus.Device(0).Bank().Get(at), alone.Bank().Get(at)) << std::hex << at;
        }
    }
}

TEST(SimBus, BroadcastWritesAreCarriedOutByAllAndAnsweredByNone) {
    SimulatorOptions options = Line({1, 2, 7});
    options.faultDevice = 7;
    options.drop = 1;  // the broadcast never reaches controller 7
    SimBus bus(options);
    EXPECT_TRUE(Answer(bus, WriteSingleRequest(0, reg::kCvChargeVoltage, 150)).empty());
    EXPECT_TRUE(Answer(bus, WriteMultipleRequest(0, reg::kLoadMode, {5117, 5201})).empty());
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(bus.Device(i).Bank().Get(reg::kCvChargeVoltage), 150) << i;
        EXPECT_EQ(bus.Device(i).Bank().Get(reg::kLoadMode), 5117) << i;
        EXPECT_EQ(bus.Device(i).Bank().Get(reg::kMorningOnCode), 5201) << i;
    }
    EXPECT_EQ(bus.Device(2).Bank().Get(reg::kCvChargeVoltage), 144);
    EXPECT_EQ(bus.Device(2).Bank().Get(reg::kLoadMode), 5100);
}

TEST(SimBus, AControllerThatRefusesWritesIgnoresBroadcasts) {
    SimulatorOptions options = Line({1, 2, 7});
    options.faultDevice = 2;
    options.refuseWrites = true;
    SimBus bus(options);
    EXPECT_TRUE(Answer(bus, WriteSingleRequest(0, reg::kCvChargeVoltage, 150)).empty());
    EXPECT_EQ(bus.Device(0).Bank().Get(reg::kCvChargeVoltage), 150);
    EXPECT_EQ(bus.Device(1).Bank().Get(reg::kCvChargeVoltage), 144);
    EXPECT_EQ(bus.Device(2).Bank().Get(reg::kCvChargeVoltage), 150);
    EXPECT_EQ(Answer(bus, WriteSingleRequest(7, reg::kCvChargeVoltage, 146)),
              WriteSingleRequest(7, reg::kCvChargeVoltage, 146));
}

TEST(SimBus, FaultsStayWithTheFaultDevice) {
    SimulatorOptions options = Line({1, 2, 7});
    options.faultDevice = 2;
    options.corrupt = 1;
    options.split = 1;
    options.delayMs = 500;
    SimBus bus(options);
    for (int round = 0; round < 10; ++round) {
        for (const uint8_t address : {1, 7}) {
            const auto out = bus.Handle({RtuFrame::Kind::kModbus, ReadRequest(address, 0, 15)});
            ASSERT_EQ(out.size(), 1u);
            EXPECT_EQ(out[0].delayMs, 0);
            EXPECT_TRUE(CrcValid(out[0].bytes));
        }
        const auto out = bus.Handle({RtuFrame::Kind::kModbus, ReadRequest(2, 0, 15)});
        ASSERT_GE(out.size(), 2u);
        EXPECT_EQ(out[0].delayMs, 500);
        EXPECT_FALSE(CrcValid(Answer(bus, ReadRequest(2, 0, 15))));
    }
}

TEST(SimBus, TwoControllersOnOneAddressGarbleEachOther) {
    SimBus bus(Line({1, 2}));
    const auto move = WriteSingleRequest(2, reg::kControllerAddress, 1);
    EXPECT_EQ(Answer(bus, move), move);  // acknowledged from the old address
    const auto clash = Answer(bus, ReadRequest(1, reg::kSerialNumber, 18));
    EXPECT_EQ(clash.size(), 41u);
    EXPECT_FALSE(CrcValid(clash));
}

// The same line served on a pseudo-terminal by the simulator's thread.
class SimulatedBus : public testing::SimulatorLine {
protected:
    // One cycle of the eight read blocks from `address`; true when every
    // block came back whole, valid and from that address.
    bool FullCycle(uint8_t address) {
        for (const ReadBlock& block : kReadBlocks) {
            const auto reply = Ask(ReadRequest(address, block.start, block.count), 1000, 30);
            if (reply.size() != 5u + 2 * block.count || reply[0] != address || !CrcValid(reply))
                return false;
        }
        return true;
    }
};

TEST_F(SimulatedBus, OneFaultyControllerLeavesTheOthersUnaffected) {
    SimulatorOptions options = Line({1, 2, 7});
    options.faultDevice = 2;
    options.drop = 1;
    Serve(options);
    ASSERT_EQ(sim->DeviceCount(), 3u);
    EXPECT_TRUE(FullCycle(1));
    EXPECT_TRUE(Ask(ReadRequest(2, 0, 15), 200).empty());
    EXPECT_TRUE(FullCycle(7));
    EXPECT_TRUE(Ask(ReadRequest(2, 0x0801, 18), 200).empty());
    EXPECT_TRUE(FullCycle(1));
    EXPECT_EQ(sim->RequestCount(0), 16u);
    EXPECT_EQ(sim->RequestCount(1), 2u);
    EXPECT_EQ(sim->RequestCount(2), 8u);
    EXPECT_EQ(sim->RequestCount(), 26u);
    EXPECT_EQ(ReplyWords(Ask(ReadRequest(7, reg::kSerialNumber, reg::kSerialWords))),
              sim->Registers(2, reg::kSerialNumber, reg::kSerialWords));
}

TEST_F(SimulatedBus, BroadcastOverTheLineIsAppliedAndUnanswered) {
    Serve(Line({1, 2, 7}));
    EXPECT_TRUE(Ask(WriteSingleRequest(0, reg::kMaxLoadCurrent, 150), 200).empty());
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(sim->Registers(i, reg::kMaxLoadCurrent, 1)[0], 150) << i;
    EXPECT_EQ(ReplyWords(Ask(ReadRequest(7, reg::kMaxLoadCurrent, 1))), std::vector<uint16_t>{150});
}

TEST_F(SimulatedBus, PacedLineServesEveryControllerWholeReplies) {
    SimulatorOptions options = Line({3, 4});
    options.pace = true;
    options.baud = 115200;
    Serve(options);
    EXPECT_TRUE(FullCycle(3));
    EXPECT_TRUE(FullCycle(4));
    EXPECT_TRUE(Ask(ReadRequest(5, 0, 15), 200).empty());
}

}  // namespace
}  // namespace kestrane::sim
