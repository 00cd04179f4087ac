#include <gtest/gtest.h>

#include <vector>

#include "protocol/CModbusFrame.h"
#include "protocol/RegisterMap.h"
#include "support/ModbusReply.h"

namespace kestrane {
namespace {

using testing::Bytes;
using testing::ResponseCleared;

class DecodeTest : public ::testing::Test {
protected:
    SharedState state;
    ControllerData& data = state.data;
    CModbusFrame frame{state};
    std::atomic<int32_t> code{0};

    // Sends the request of `transactionCode` to address 1, then decodes `reply`.
    int32_t Decode(int transactionCode, const Bytes& reply) {
        code = transactionCode;
        frame.ClearRequest();
        if (const auto block = ReadBlockFor(transactionCode))
            frame.BuildReadRequest(1, 3, block->startRegister, block->registerCount);
        else
            frame.BuildWriteRequest(1, transactionCode == 15 || transactionCode == 17 ? 6 : 16,
                                    transactionCode);
        frame.ClearResponse();
        testing::Feed(frame, reply);
        const int32_t result = frame.DecodeResponse(code);
        EXPECT_TRUE(ResponseCleared(frame)) << "code " << transactionCode;
        return result;
    }

    int32_t DecodeWords(int transactionCode, std::vector<uint16_t> words) {
        words.resize(ReadBlockFor(transactionCode)->registerCount);
        return Decode(transactionCode, testing::ReadReply(1, words));
    }
};

TEST_F(DecodeTest, RealTimeBlockSignExtendsOnlyTheTemperatures) {
    EXPECT_EQ(DecodeWords(0, {3, 0xFFF6, 138, 52, 7, 137, 12, 400, 150, 0xFFF6, 0xFFFB, 0x8001,
                              0x8000, 0x0002, 0x0100}),
              0);
    EXPECT_EQ(data.chargeState, 3);
    EXPECT_EQ(data.pvVoltage, 65526);
    EXPECT_EQ(data.batteryVoltage, 138);
    EXPECT_EQ(data.chargeCurrent, 52);
    EXPECT_EQ(data.compVoltage, 7);
    EXPECT_EQ(data.loadVoltage, 137);
    EXPECT_EQ(data.loadCurrent, 12);
    EXPECT_EQ(data.chargePower, 400);
    EXPECT_EQ(data.loadPower, 150);
    EXPECT_EQ(data.batteryTemperature, -10);
    EXPECT_EQ(data.innerTemperature, -5);
    EXPECT_EQ(data.spare000B, 0x8001);
    EXPECT_EQ(static_cast<uint32_t>(data.spare000C.load()), 0x80000002u);
    EXPECT_EQ(data.alarmCode, 0x0100);
    EXPECT_EQ(code, 1);
}

TEST_F(DecodeTest, EnergyBlockJoinsPairsHighWordFirst) {
    EXPECT_EQ(
        DecodeWords(4, {0x0007, 0x0001, 0x0002, 0x0001, 0x86A0, 0xFFFF, 0xFFFF, 0x0000, 0x0102, 0,
                        0, 0x1234, 0x5678, 0x0000, 0xFFFF, 0x0010, 0x0000, 0xFFFF, 0xFFFE}),
        0);
    EXPECT_EQ(data.controllerAddress, 7);
    EXPECT_EQ(data.spare0204, 1);
    EXPECT_EQ(data.spare0205, 2);
    EXPECT_EQ(data.chargedTodayWh, 100000);
    EXPECT_EQ(data.spare0208, -1);
    EXPECT_EQ(data.chargedMonthWh, 0x0102);
    EXPECT_EQ(data.chargedTotalWh, 0x12345678);
    EXPECT_EQ(data.usedTodayWh, 0xFFFF);
    EXPECT_EQ(data.usedMonthWh, 0x00100000);
    EXPECT_EQ(static_cast<uint32_t>(data.usedTotalWh.load()), 0xFFFFFFFEu);
    EXPECT_EQ(code, 5);
}

TEST_F(DecodeTest, EachBlockFillsItsFieldsAndTheCycleWraps) {
    DecodeWords(1, {4, 2, 144, 138, 300, 200, 146, 120, 9, 2});
    EXPECT_EQ(data.batteryType, 4);
    EXPECT_EQ(data.floatChargeVoltage, 138);
    EXPECT_EQ(data.equalizeMinutes, 120);
    EXPECT_EQ(data.systemVoltageUnits, 2);
    EXPECT_EQ(code, 2);

    DecodeWords(2, {146, 128, 110, 150, 120, 140});
    EXPECT_EQ(data.liChargeVoltage, 146);
    EXPECT_EQ(data.liOverVoltageRecover, 140);
    EXPECT_EQ(code, 3);

    DecodeWords(6, {5105, 5203, 50, 60, 1, 2, 18, 30, 6, 0, 19, 15, 22, 45, 1});
    EXPECT_EQ(data.loadMode, 5105);
    EXPECT_EQ(data.morningOnCode, 5203);
    EXPECT_EQ(data.timer2OffMinute, 45);
    EXPECT_EQ(data.loadOutputOn, 1);
    EXPECT_EQ(code, 7);

    DecodeWords(7, {1000, 1, 1001, 2, 1002, 3, 1003, 4, 1004, 5, 1005, 0xFFFF});
    EXPECT_EQ(data.pvVoltageRatio, 1000);
    EXPECT_EQ(data.loadCurrentOffset, 4);
    EXPECT_EQ(data.compVoltageOffset, 0xFFFF);
    EXPECT_EQ(code, 0);
}

// Block 3: over-voltage protection a, its recovery b, under-voltage protection
// c, its recovery d. Words 0 and 1 are ignored.
struct LeadAcidCase {
    uint16_t a, b, c, d;
    bool accepted;
};

constexpr LeadAcidCase kLeadAcidCases[] = {
    {150, 150, 110, 110, true},  // equal limits are fine
    {155, 148, 108, 118, true},
    {150, 151, 110, 110, false},  // recovery above protection
    {150, 150, 160, 160, false},  // under-voltage protection above over-voltage protection
    {150, 150, 110, 105, false},  // under-voltage recovery below its protection
    {0x8000, 0x7FFF, 0x7FFF, 0xFFFF, true},  // compared unsigned
    {0x7FFF, 0x8000, 0x0000, 0x0000, false},
};

TEST_F(DecodeTest, LeadAcidBlockIsStoredOnlyWhenOrdered) {
    for (const LeadAcidCase& c : kLeadAcidCases) {
        SCOPED_TRACE(::testing::PrintToString(std::vector<int>{c.a, c.b, c.c, c.d}));
        data.overVoltageProtect = 1;
        data.overVoltageRecover = 2;
        data.lowVoltageProtect = 3;
        data.lowVoltageRecover = 4;
        const int32_t result = DecodeWords(3, {0xDEAD, 0xBEEF, c.a, c.b, c.c, c.d});
        if (c.accepted) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(code, 4);
            EXPECT_EQ(data.overVoltageProtect, c.a);
            EXPECT_EQ(data.overVoltageRecover, c.b);
            EXPECT_EQ(data.lowVoltageProtect, c.c);
            EXPECT_EQ(data.lowVoltageRecover, c.d);
        } else {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(code, 3);
            EXPECT_EQ(data.overVoltageProtect, 1);
            EXPECT_EQ(data.overVoltageRecover, 2);
            EXPECT_EQ(data.lowVoltageProtect, 3);
            EXPECT_EQ(data.lowVoltageRecover, 4);
        }
    }
}

TEST_F(DecodeTest, AddressProbeIsCheckedNotStored) {
    data.pvVoltage = 77;
    EXPECT_EQ(DecodeWords(14, {0, 999}), 0);
    EXPECT_EQ(state.settingsStatus, 5);
    EXPECT_EQ(code, 14);
    EXPECT_EQ(data.pvVoltage, 77);

    state.settingsStatus = 3;
    EXPECT_EQ(Decode(14, testing::ReadReply(9, {0, 999})), 1);
    EXPECT_EQ(state.settingsStatus, 3);
    EXPECT_EQ(code, 14);
}

struct AckCase {
    int code;
    bool echoed;
    int32_t result;
    int32_t nextCode;
    int32_t status;  // settingsStatus afterwards; 3 = unchanged
};

// Acknowledgements of the writes; each starts from settingsStatus 3.
constexpr AckCase kAckCases[] = {
    {10, true, 1, 50, 1}, {10, false, 1, 10, 2}, {11, true, 1, 12, 3}, {11, false, 1, 11, 2},
    {12, true, 1, 10, 3}, {12, false, 1, 12, 2}, {13, true, 0, 0, 1},  {13, false, 1, 13, 2},
    {16, true, 0, 0, 1},  {16, false, 1, 16, 3}, {17, true, 0, 0, 1},  {17, false, 1, 17, 3},
    {18, true, 0, 0, 1},  {18, false, 1, 18, 3}, {19, true, 0, 0, 1},  {19, false, 1, 19, 3},
    {15, true, 0, 0, 1},  {15, false, 0, 0, 1},
};

TEST_F(DecodeTest, WriteAcknowledgementsSetStatusAndNextCode) {
    for (const AckCase& c : kAckCases) {
        SCOPED_TRACE(::testing::Message()
                     << "code " << c.code << (c.echoed ? " echoed" : " wrong"));
        state.settingsStatus = 3;
        const WriteBlock block = *WriteBlockFor(c.code);
        const uint8_t function = block.singleRegister ? 6 : 16;
        // Codes 10-13 compare the register, the others the address and function.
        Bytes reply = testing::WriteReply(1, function, block.startRegister, block.registerCount);
        if (!c.echoed) {
            if (c.code <= 13)
                reply = testing::WriteReply(1, function, block.startRegister + 1, 0);
            else
                reply = testing::WriteReply(1, function == 6 ? 16 : 6, 0x9999, 0x9999);
        }
        EXPECT_EQ(Decode(c.code, reply), c.result);
        EXPECT_EQ(code, c.nextCode);
        EXPECT_EQ(state.settingsStatus, c.status);
    }
}

TEST_F(DecodeTest, RegisterEchoIgnoresHeaderAndHeaderEchoIgnoresRegister) {
    // A code-11 reply from another address with the right register passes...
    EXPECT_EQ(Decode(11, testing::WriteReply(9, 16, 0x0703, 4)), 1);
    EXPECT_EQ(code, 12);
    // ...and a code-19 reply with a different register still counts as done.
    EXPECT_EQ(Decode(19, testing::WriteReply(1, 16, 0x0000, 0)), 0);
    EXPECT_EQ(code, 0);
    // A code-16 reply from another device is no acknowledgement.
    state.settingsStatus = 3;
    EXPECT_EQ(Decode(16, testing::WriteReply(2, 16, 0x0301, 12)), 1);
    EXPECT_EQ(code, 16);
    EXPECT_EQ(state.settingsStatus, 3);
}

TEST_F(DecodeTest, AcknowledgementsRaiseTheirDialogFlags) {
    data.calibrationEditsReload = 0;
    data.calibrationDialogRefresh = 0;
    Decode(13, testing::WriteReply(1, 16, 0x0402, 14));
    EXPECT_EQ(data.calibrationEditsReload, 0);
    Decode(13, testing::WriteReply(1, 16, 0x0401, 14));
    EXPECT_EQ(data.calibrationEditsReload, 1);
    EXPECT_EQ(data.calibrationDialogRefresh, 0);

    Decode(16, testing::WriteReply(1, 6, 0x0301, 12));
    EXPECT_EQ(data.calibrationDialogRefresh, 0);
    Decode(16, testing::WriteReply(1, 16, 0x0301, 12));
    EXPECT_EQ(data.calibrationDialogRefresh, 1);
}

TEST_F(DecodeTest, CodesWithoutMeaningChangeNothing) {
    for (int other : {8, 9, kBatteryTypeFrameCode, 99, -3}) {
        SCOPED_TRACE(other);
        state.settingsStatus = 3;
        data.chargeState = 42;
        EXPECT_EQ(Decode(other, testing::ReadReply(1, std::vector<uint16_t>(15, 0x0101))), other);
        EXPECT_EQ(code, other);
        EXPECT_EQ(state.settingsStatus, 3);
        EXPECT_EQ(data.chargeState, 42);
    }
}

}  // namespace
}  // namespace kestrane
