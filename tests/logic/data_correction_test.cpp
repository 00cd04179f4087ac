#include <gtest/gtest.h>

#include <array>
#include <string>

#include "protocol/SharedState.h"
#include "protocol/TextCodec.h"
#include "service/logic/DataCorrectionLogic.h"
#include "service/logic/ServiceControlIds.h"
#include "support/FakeClock.h"
#include "support/FakeControls.h"

namespace kestrane {

namespace {

namespace dc = id::correction;

using Calibration = std::array<int32_t, 12>;

// Calibration as the controller reports it, every value distinct, in register
// order: PV, battery, charge current, load current, load voltage, Vcomp.
constexpr Calibration kAsRead = {1000, 11, 1002, 12, 1004, 13, 1006, 14, 1008, 15, 1010, 16};
// A write image left by an earlier operation, to see that refusals keep it.
constexpr int32_t kEarlierImage = 777;

class DataCorrection : public ::testing::Test {
protected:
    DataCorrection() {
        ControllerData& d = shared.data;
        AtomicValue* asRead[] = {
            &d.pvVoltageRatio,       &d.pvVoltageOffset,    &d.batteryVoltageRatio,
            &d.batteryVoltageOffset, &d.chargeCurrentRatio, &d.chargeCurrentOffset,
            &d.loadCurrentRatio,     &d.loadCurrentOffset,  &d.loadVoltageRatio,
            &d.loadVoltageOffset,    &d.compVoltageRatio,   &d.compVoltageOffset};
        for (size_t i = 0; i < kAsRead.size(); ++i)
            asRead[i]->store(kAsRead[i]);
        for (AtomicValue& v : d.calibrationWrite)
            v = kEarlierImage;
        for (AtomicValue& v : d.identityWrite)
            v = kEarlierImage;
        d.pvVoltage = 120;
        d.batteryVoltage = 130;
        d.loadVoltage = 125;
        d.chargeCurrent = 50;
        d.loadCurrent = 20;
        d.compVoltage = 60;
        // Serial "AB12" followed by other text; firmware with a zero byte.
        TextToWords("AB12XXXXXXXXXXXX", d.serialNumber, ControllerData::kSerialWords);
        d.firmwareVersion[0] = 0x3156;
        d.firmwareVersion[1] = 0x0032;
        TextToWords("MODEL-OLD", d.modelName, ControllerData::kModelWords);
        shared.SetLanguageFlag("ENGLISH");
    }

    Calibration CalibrationWrite() const {
        Calibration out{};
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = shared.data.calibrationWrite[i];
        return out;
    }
    std::string SerialWritten() const {
        return WordsToText(shared.data.identityWrite, ControllerData::kSerialWords);
    }
    std::string ModelWritten() const {
        return WordsToText(shared.data.identityWrite + 10, ControllerData::kModelWords);
    }
    void ExpectNothingQueued(const char* message) {
        ASSERT_EQ(dialog.messages.size(), 1u);
        EXPECT_EQ(dialog.messages[0], message);
        EXPECT_EQ(shared.pendingWrite, 0);
        EXPECT_EQ(shared.settingsStatus, 0);
        for (const AtomicValue& v : shared.data.calibrationWrite)
            EXPECT_EQ(v, kEarlierImage);
        for (const AtomicValue& v : shared.data.identityWrite)
            EXPECT_EQ(v, kEarlierImage);
        dialog.messages.clear();
    }

    SharedState shared;
    testing::FakeControls dialog;
    testing::FakeClock clock{testing::MakeTime(2026, 3, 7, 10, 0, 0)};
    DataCorrectionLogic logic{shared, dialog, clock};
};

}  // namespace

TEST_F(DataCorrection, ConfirmDerivesTheRatioAndKeepsTheOtherElevenValues) {
    dialog.SetText(dc::kFirstMeasuredEdit, "12.5");
    logic.OnConfirmRow(0);
    Calibration expected = kAsRead;
    expected[0] = 1041;  // 1000 * 125 / 120, truncated
    EXPECT_EQ(CalibrationWrite(), expected);
    EXPECT_EQ(shared.settingsStatus, 3);
    EXPECT_EQ(shared.pendingWrite, 6);
    EXPECT_TRUE(dialog.messages.empty());
}

TEST_F(DataCorrection, EachRowCalibratesItsOwnRegisterPair) {
    struct Case {
        int row;
        int ratioIndex;
        const char* measured;
        int32_t ratio;
    };
    const Case cases[] = {
        {0, 0, "24", 2000},   // PV: 1000 * 240 / 120
        {1, 2, "26", 2004},   // battery: 1002 * 260 / 130
        {2, 8, "25", 2016},   // load voltage: 1008 * 250 / 125
        {3, 4, "10", 2008},   // charge current: 1004 * 100 / 50
        {4, 6, "4", 2012},    // load current: 1006 * 40 / 20
        {5, 10, "12", 2020},  // Vcomp: 1010 * 120 / 60
    };
    for (const Case& c : cases) {
        dialog.SetText(dc::kFirstMeasuredEdit + c.row, c.measured);
        dialog.SetText(dc::kFirstOffsetEdit + c.row, "-3");
        logic.OnConfirmRow(c.row);
        Calibration expected = kAsRead;
        expected[c.ratioIndex] = c.ratio;
        expected[c.ratioIndex + 1] = -3;  // sent as 0xFFFD
        SCOPED_TRACE(c.row);
        EXPECT_EQ(CalibrationWrite(), expected);
        EXPECT_TRUE(dialog.messages.empty());
    }
}

TEST_F(DataCorrection, OffsetEditKeepsTheOffsetOnlyWhenEmptyOrOneBlank) {
    struct Case {
        const char* text;
        int32_t offset;
    };
    const Case cases[] = {{"", 11}, {" ", 11}, {"7", 7}, {"abc", 0}, {"  ", 0}, {"-20", -20}};
    for (const Case& c : cases) {
        dialog.SetText(dc::kFirstMeasuredEdit, "12.0");
        dialog.SetText(dc::kFirstOffsetEdit, c.text);
        logic.OnConfirmRow(0);
        SCOPED_TRACE(c.text);
        EXPECT_EQ(shared.data.calibrationWrite[1], c.offset);
        EXPECT_EQ(shared.data.calibrationWrite[0], 1000);
    }
}

TEST_F(DataCorrection, LiveReadingBelowTheMinimumIsAbnormalWhateverIsTyped) {
    shared.data.pvVoltage = 49;
    dialog.SetText(dc::kFirstMeasuredEdit, "12.5");
    logic.OnConfirmRow(0);
    ExpectNothingQueued("Abnormal data!");

    shared.SetLanguageFlag("CHINESE");
    shared.data.chargeCurrent = 0;  // also no division by zero
    dialog.SetText(dc::kFirstMeasuredEdit + 3, "1.0");
    logic.OnConfirmRow(3);
    ExpectNothingQueued("数据异常！");

    shared.data.pvVoltage = 50;  // the minimum itself is accepted
    logic.OnConfirmRow(0);
    EXPECT_EQ(shared.pendingWrite, 6);
}

TEST_F(DataCorrection, MeasurementBelowTheMinimumShowsTheRowsMessage) {
    struct Case {
        int row;
        const char* measured;
        const char* language;
        const char* message;
    };
    const Case cases[] = {
        {0, "4.99", "ENGLISH", "Please ensure the PV voltage is more than 5V !"},
        {1, "abc", "ENGLISH", "Please ensure the BAT voltage is more than 5V !"},
        {2, "", "CHINESE", "非法操作，请确保Load电压大于5V！"},
        {3, "0.09", "ENGLISH", "Please ensure the CHG current is more than 0.1A !"},
        {4, "-1", "CHINESE", "非法操作，请确保Load电流大于0.1A ！"},
        {5, "4.9", "CHINESE", "非法操作，请确保充电压大于5V ！"},
    };
    for (const Case& c : cases) {
        shared.SetLanguageFlag(c.language);
        dialog.SetText(dc::kFirstMeasuredEdit + c.row, c.measured);
        logic.OnConfirmRow(c.row);
        SCOPED_TRACE(c.row);
        ExpectNothingQueued(c.message);
    }
    dialog.SetText(dc::kFirstMeasuredEdit, "5");
    logic.OnConfirmRow(0);
    EXPECT_TRUE(dialog.messages.empty());
    EXPECT_EQ(shared.data.calibrationWrite[0], 416);  // 1000 * 50 / 120
}

TEST_F(DataCorrection, ARatioBeyondSixteenBitsIsRefusedNotCut) {
    shared.data.pvVoltageRatio = 60000;
    shared.data.pvVoltage = 50;
    dialog.SetText(dc::kFirstMeasuredEdit, "100");  // 60000 * 1000 / 50 = 1200000
    logic.OnConfirmRow(0);
    ExpectNothingQueued("Abnormal data!");

    // 65535 * 5000 / 50 overflows 32 bits as well as 16.
    shared.data.pvVoltageRatio = 65535;
    dialog.SetText(dc::kFirstMeasuredEdit, "500");
    logic.OnConfirmRow(0);
    ExpectNothingQueued("Abnormal data!");

    dialog.SetText(dc::kFirstMeasuredEdit, "5");  // 65535 * 50 / 50: the largest that fits
    logic.OnConfirmRow(0);
    EXPECT_EQ(shared.data.calibrationWrite[0], 65535);
}

TEST_F(DataCorrection, RefreshFillsTheEditsOnceAndTheStaticsEveryTime) {
    shared.data.compVoltageOffset = 65533;  // stored zero-extended, shown as stored
    logic.OnRefresh();
    EXPECT_EQ(shared.data.calibrationEditsReload, 0);
    const char* measured[] = {"12.0", "13.0", "12.5", "5.0", "2.0", "6.0"};
    const char* offsets[] = {"11", "12", "15", "13", "14", "65533"};
    const char* ratios[] = {"1000", "1002", "1008", "1004", "1006", "1010"};
    for (int row = 0; row < dc::kRowCount; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(dialog.Text(dc::kFirstMeasuredEdit + row), measured[row]);
        EXPECT_EQ(dialog.Text(dc::kFirstOffsetEdit + row), offsets[row]);
        EXPECT_EQ(dialog.Text(dc::kFirstOffsetStatic + row), offsets[row]);
        EXPECT_EQ(dialog.Text(dc::kFirstRatioStatic + row), ratios[row]);
    }

    // Typed numbers survive later refreshes; the statics follow the record.
    dialog.SetText(dc::kFirstMeasuredEdit, "12.7");
    shared.data.pvVoltage = 999;
    shared.data.pvVoltageRatio = 1041;
    logic.OnRefresh();
    EXPECT_EQ(dialog.Text(dc::kFirstMeasuredEdit), "12.7");
    EXPECT_EQ(dialog.Text(dc::kFirstRatioStatic), "1041");

    shared.data.calibrationEditsReload = 1;  // a load-parameter write was acknowledged
    logic.OnRefresh();
    EXPECT_EQ(dialog.Text(dc::kFirstMeasuredEdit), "99.9");
}

TEST_F(DataCorrection, ClosingStopsTheRefreshes) {
    shared.data.calibrationDialogRefresh = 1;
    logic.OnClose();
    EXPECT_EQ(shared.data.calibrationDialogRefresh, 0);
}

TEST_F(DataCorrection, StandardSerialKeepsTheFirstFourBytesAndAddsNumberAndDate) {
    struct Case {
        const char* typed;
        const char* written;
    };
    const Case cases[] = {
        {"42", "AB12004220260307"},
        {"", "AB12000020260307"},
        {"9999", "AB12999920260307"},
        {"AB", "AB1200AB20260307"},  // not checked beyond its length
    };
    for (const Case& c : cases) {
        dialog.SetText(dc::kSerialEdit, c.typed);
        logic.OnWriteSerialNumber();
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(SerialWritten(), c.written);
        EXPECT_EQ(shared.pendingWrite, 9);
        EXPECT_EQ(shared.settingsStatus, 3);
    }
}

TEST_F(DataCorrection, IdentityTextsTooLongAreRefused) {
    struct Case {
        int edit;
        const char* typed;
        const char* language;
        const char* message;
    };
    const Case cases[] = {
        {dc::kSerialEdit, "12345", "ENGLISH", "Enter a value in the range of 1 ~ 9999 !"},
        {dc::kSerialEdit, "12345", "CHINESE", "输入1~9999的数值！"},
        {dc::kCustomSerialEdit, "12345678901234567", "ENGLISH", "You can enter up to 16 numbers!"},
        {dc::kCustomSerialEdit, "12345678901234567", "CHINESE", "最多可输入16个数字！"},
        {dc::kModelEdit, "MPPT-60A-XXXXXXXX", "ENGLISH", "You can enter up to 16 characters!"},
        {dc::kModelEdit, "控制器型号号", "CHINESE", "最多可输入16个字符！"},  // 18 bytes
    };
    for (const Case& c : cases) {
        shared.SetLanguageFlag(c.language);
        dialog.SetText(c.edit, c.typed);
        if (c.edit == dc::kSerialEdit) logic.OnWriteSerialNumber();
        if (c.edit == dc::kCustomSerialEdit) logic.OnWriteCustomSerial();
        if (c.edit == dc::kModelEdit) logic.OnWriteModel();
        SCOPED_TRACE(c.typed);
        ExpectNothingQueued(c.message);
    }
}

TEST_F(DataCorrection, CustomSerialAndModelArePaddedWithBlanksToSixteenBytes) {
    dialog.SetText(dc::kCustomSerialEdit, "XYZ");
    logic.OnWriteCustomSerial();
    EXPECT_EQ(SerialWritten(), "XYZ             ");
    EXPECT_EQ(ModelWritten(), "MODEL-OLD");  // the model as read
    EXPECT_EQ(shared.pendingWrite, 9);

    dialog.SetText(dc::kCustomSerialEdit, "1234567890123456");
    logic.OnWriteCustomSerial();
    EXPECT_EQ(SerialWritten(), "1234567890123456");

    dialog.SetText(dc::kModelEdit, "MPPT-60A-24V-PRO");
    logic.OnWriteModel();
    EXPECT_EQ(ModelWritten(), "MPPT-60A-24V-PRO");
    EXPECT_EQ(SerialWritten(), "AB12XXXXXXXXXXXX");  // the serial as read

    dialog.SetText(dc::kModelEdit, "");
    logic.OnWriteModel();
    EXPECT_EQ(ModelWritten(), std::string(16, ' '));
}

TEST_F(DataCorrection, EveryIdentityWriteCarriesTheFirmwareWordsUnchanged) {
    dialog.SetText(dc::kSerialEdit, "1");
    dialog.SetText(dc::kCustomSerialEdit, "S");
    dialog.SetText(dc::kModelEdit, "M");
    void (DataCorrectionLogic::*writes[])() = {&DataCorrectionLogic::OnWriteSerialNumber,
                                               &DataCorrectionLogic::OnWriteCustomSerial,
                                               &DataCorrectionLogic::OnWriteModel};
    for (auto write : writes) {
        shared.data.identityWrite[8] = 0;
        shared.data.identityWrite[9] = 0;
        (logic.*write)();
        EXPECT_EQ(shared.data.identityWrite[8], 0x3156);
        EXPECT_EQ(shared.data.identityWrite[9], 0x0032);
    }
}

}  // namespace kestrane
