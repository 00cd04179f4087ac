// The simulated controller's register map as a Modbus server, without a line.
#include <gtest/gtest.h>

#include "sim/FactoryDefaults.h"
#include "sim/SimDevice.h"
#include "support/ModbusTestFrames.h"

namespace kestrane::sim {
namespace {

using testing::ReadRequest;
using testing::WriteMultipleRequest;
using testing::WriteSingleRequest;

std::vector<uint8_t> Pdu(const std::vector<uint8_t>& frame) {
    return {frame.begin() + 1, frame.end() - 2};
}

std::vector<uint16_t> Words(const std::vector<uint8_t>& readReplyPdu) {
    std::vector<uint16_t> words;
    for (size_t i = 2; i + 1 < readReplyPdu.size(); i += 2)
        words.push_back(static_cast<uint16_t>(readReplyPdu[i] << 8 | readReplyPdu[i + 1]));
    return words;
}

class SimDeviceTest : public ::testing::Test {
protected:
    std::vector<uint8_t> Run(const std::vector<uint8_t>& frame) {
        return device.Execute(Pdu(frame));
    }
    std::vector<uint16_t> Read(uint16_t start, uint16_t count) {
        const std::vector<uint8_t> reply = Run(ReadRequest(1, start, count));
        EXPECT_EQ(reply[0], 3);
        return Words(reply);
    }

    SimulatorOptions options;
    SimDevice device{options};
};

TEST_F(SimDeviceTest, EveryReadBlockAnswersWithItsLength) {
    for (const ReadBlock& block : kReadBlocks) {
        const std::vector<uint8_t> reply = Run(ReadRequest(1, block.start, block.count));
        ASSERT_EQ(reply.size(), 2u + 2 * block.count) << std::hex << block.start;
        EXPECT_EQ(reply[0], 3);
        EXPECT_EQ(reply[1], 2 * block.count);
    }
}

TEST_F(SimDeviceTest, FactoryValuesArePlausible) {
    const auto battery = Read(0x0101, 10);
    EXPECT_LE(battery[0], 5);
    EXPECT_EQ(battery[2], 144);
    EXPECT_EQ(battery[3], 138);
    EXPECT_EQ(battery[9], 1);  // 12 V system
    // Lead-acid protections pass the master's acceptance test.
    const auto lead = Read(0x0701, 6);
    EXPECT_GE(lead[2], lead[4]);
    EXPECT_LE(lead[3], lead[2]);
    EXPECT_GE(lead[5], lead[4]);
    const auto identity = Read(0x0801, 18);
    EXPECT_EQ(identity[0], 'K' | 'S' << 8);  // first character in the low byte
    EXPECT_EQ(device.Bank().GetText(0x0801, 8), "KS2026A000000042");
    EXPECT_EQ(device.Bank().GetText(0x0809, 2), "V1.3");
    EXPECT_EQ(device.Bank().GetText(0x080B, 8), "KESTRANE-MPPT40A");
    const auto load = Read(0x0401, 15);
    EXPECT_EQ(load[0], 5100);
    EXPECT_EQ(load[1], 5200);
    EXPECT_LT(load[2], load[3]);  // dusk threshold below dawn threshold
    const auto calibration = Read(0x0301, 12);
    for (int pair = 0; pair < 6; ++pair) {
        EXPECT_EQ(calibration[2 * pair], 1000);
        EXPECT_EQ(calibration[2 * pair + 1], 0);
    }
    EXPECT_EQ(Read(0x0203, 19)[0], 1);
}

TEST_F(SimDeviceTest, EveryWriteBlockReadsBackAsWritten) {
    struct Block {
        uint16_t start;
        std::vector<uint16_t> values;
    };
    const Block blocks[] = {
        {0x0101, {0, 2, 146, 136, 300, 150, 148, 90}},
        {0x0703, {155, 151, 105, 118}},
        {0x0907, {146, 132, 110, 150, 118, 141}},
        {0x0401, {5116, 5203, 40, 70, 3, 4, 19, 15, 22, 45, 4, 30, 6, 5}},
        {0x0301, {1010, 3, 990, 0xFFFE, 1000, 0, 1000, 1, 1005, 0, 1000, 2}},
        {0x0801, {0x3231, 0x3433, 0, 0, 0, 0, 0, 0, 0x3256, 0x302E, 0x4241, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Block& block : blocks) {
        const auto frame = WriteMultipleRequest(1, block.start, block.values);
        const std::vector<uint8_t> reply = Run(frame);
        ASSERT_EQ(reply, std::vector<uint8_t>(frame.begin() + 1, frame.begin() + 6));
        EXPECT_EQ(Read(block.start, static_cast<uint16_t>(block.values.size())), block.values);
    }
    const auto single = WriteSingleRequest(1, 0x0406, 17);
    EXPECT_EQ(Run(single), Pdu(single));
    EXPECT_EQ(Read(0x0406, 1)[0], 17);
}

TEST_F(SimDeviceTest, RegistersOutsideTheMapAreIllegalAddresses) {
    const std::vector<uint8_t> illegalRead{0x83, 2};
    EXPECT_EQ(Run(ReadRequest(1, 0x0000, 16)), illegalRead);  // one past the block
    EXPECT_EQ(Run(ReadRequest(1, 0x0601, 1)), illegalRead);   // command register
    EXPECT_EQ(Run(ReadRequest(1, 0x1000, 2)), illegalRead);
    EXPECT_EQ(Run(ReadRequest(1, 0xFFFF, 2)), illegalRead);
    const std::vector<uint8_t> illegalSingle{0x86, 2};
    EXPECT_EQ(Run(WriteSingleRequest(1, 0x0002, 130)), illegalSingle);  // measured value
    EXPECT_EQ(Run(WriteSingleRequest(1, 0x040F, 1)), illegalSingle);    // load state
    EXPECT_EQ(Run(WriteSingleRequest(1, 0x0500, 1)), illegalSingle);
    // A write that runs into a read-only register changes nothing at all.
    const uint16_t before = Read(0x040E, 1)[0];
    EXPECT_EQ(Run(WriteMultipleRequest(1, 0x040E, {9, 1})), (std::vector<uint8_t>{0x90, 2}));
    EXPECT_EQ(Read(0x040E, 1)[0], before);
    EXPECT_EQ(Run(WriteMultipleRequest(1, 0x0602, {26, 1, 1, 0, 0, 0})),
              (std::vector<uint8_t>{0x90, 2}));
}

TEST_F(SimDeviceTest, BadFunctionsAndCountsGetTheirExceptions) {
    EXPECT_EQ(device.Execute({4, 0, 0, 0, 1}), (std::vector<uint8_t>{0x84, 1}));
    EXPECT_EQ(device.Execute({0x2B, 0x0E, 1, 0}), (std::vector<uint8_t>{0xAB, 1}));
    EXPECT_EQ(Run(ReadRequest(1, 0, 0)), (std::vector<uint8_t>{0x83, 3}));
    EXPECT_EQ(Run(ReadRequest(1, 0, 126)), (std::vector<uint8_t>{0x83, 3}));
    std::vector<uint8_t> badByteCount = Pdu(WriteMultipleRequest(1, 0x0401, {5117}));
    badByteCount[5] = 4;
    EXPECT_EQ(device.Execute(badByteCount), (std::vector<uint8_t>{0x90, 3}));
}

TEST_F(SimDeviceTest, NewBusAddressIsStoredAndAnsweredAt) {
    EXPECT_EQ(Run(WriteSingleRequest(1, 0x0203, 42)), Pdu(WriteSingleRequest(1, 0x0203, 42)));
    EXPECT_EQ(device.Address(), 42);
    EXPECT_EQ(Read(0x0203, 1)[0], 42);
    for (uint16_t bad : {0, 248, 0xFFFF}) {
        EXPECT_EQ(Run(WriteSingleRequest(1, 0x0203, bad)), (std::vector<uint8_t>{0x86, 3}));
        EXPECT_EQ(device.Address(), 42);
    }
}

TEST_F(SimDeviceTest, RestoreBringsBackSettingsAndClearsEnergy) {
    Run(WriteMultipleRequest(1, 0x0101, {0, 2, 150, 140, 100, 100, 150, 30}));
    Run(WriteMultipleRequest(1, 0x0907, {146, 132, 110, 150, 118, 141}));
    Run(WriteSingleRequest(1, 0x0401, 5117));
    Run(WriteSingleRequest(1, 0x0301, 1100));
    Run(WriteSingleRequest(1, 0x0203, 9));
    device.Advance(6 * 3600);
    ASSERT_GT(device.Bank().Get32(0x020E), 0u);

    EXPECT_EQ(Run(WriteSingleRequest(9, 0x0601, 6)), Pdu(WriteSingleRequest(9, 0x0601, 6)));
    SimDevice fresh(options);
    for (uint16_t start : {0x0101, 0x0907, 0x0703, 0x0401}) {
        const int count = start == 0x0401 ? 14 : start == 0x0101 ? 8 : start == 0x0703 ? 4 : 6;
        for (int i = 0; i < count; ++i) {
            const auto address = static_cast<uint16_t>(start + i);
            EXPECT_EQ(device.Bank().Get(address), fresh.Bank().Get(address)) << std::hex << address;
        }
    }
    for (uint16_t energy : {0x0206, 0x020A, 0x020E, 0x0210, 0x0212, 0x0214})
        EXPECT_EQ(device.Bank().Get32(energy), 0u);
    EXPECT_EQ(device.Bank().Get(0x0301), 1100);  // calibration is not a setting
    EXPECT_EQ(device.Address(), 9);
}

TEST_F(SimDeviceTest, CommandFourSetsTheClock) {
    const auto frame = WriteMultipleRequest(1, 0x0601, {4, 26, 12, 31, 23, 59, 50});
    EXPECT_EQ(Run(frame), std::vector<uint8_t>(frame.begin() + 1, frame.begin() + 6));
    EXPECT_EQ(device.Model().Clock().ToString(), "2026-12-31T23:59:50");
    device.Advance(20);
    EXPECT_EQ(device.Model().Clock().ToString(), "2027-01-01T00:00:10");

    const std::vector<uint8_t> badValue{0x90, 3};
    EXPECT_EQ(Run(WriteMultipleRequest(1, 0x0601, {4, 26, 13, 1, 0, 0, 0})), badValue);
    EXPECT_EQ(Run(WriteMultipleRequest(1, 0x0601, {4, 26, 2, 30, 0, 0, 0})), badValue);
    EXPECT_EQ(Run(WriteMultipleRequest(1, 0x0601, {4, 26, 1, 1, 24, 0, 0})), badValue);
    EXPECT_EQ(Run(WriteSingleRequest(1, 0x0601, 4)), (std::vector<uint8_t>{0x86, 3}));
    EXPECT_EQ(Run(WriteSingleRequest(1, 0x0601, 9)), (std::vector<uint8_t>{0x86, 3}));
    EXPECT_EQ(device.Model().Clock().ToString(), "2027-01-01T00:00:10");
}

TEST_F(SimDeviceTest, BatteryTypeFrameSetsTheType) {
    EXPECT_TRUE(device.ApplyBatteryType(3));
    EXPECT_EQ(device.Bank().Get(0x0101), 3);
    EXPECT_FALSE(device.ApplyBatteryType(6));
    EXPECT_EQ(device.Bank().Get(0x0101), 3);
}

TEST_F(SimDeviceTest, CalibrationScalesAndShiftsTheReportedValues) {
    options.daySeconds = 0;
    options.start.secondOfDay = 11 * 3600;  // charging at noon
    SimDevice calibrated(options);
    SimDevice reference(options);
    calibrated.Execute(Pdu(WriteMultipleRequest(1, 0x0301, {1000, 0, 1100, 5, 500, 0xFFFF})));
    calibrated.Advance(600);
    reference.Advance(600);
    const RegisterBank& a = calibrated.Bank();
    const RegisterBank& b = reference.Bank();
    EXPECT_EQ(a.Get(0x0001), b.Get(0x0001));
    EXPECT_NEAR(a.Get(0x0002), b.Get(0x0002) * 1.1 + 5, 1.0);
    ASSERT_GT(b.Get(0x0003), 20);
    EXPECT_NEAR(a.Get(0x0003), b.Get(0x0003) * 0.5 - 1, 1.0);
}

}  // namespace
}  // namespace kestrane::sim
