#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "monitor/ControlIds.h"
#include "monitor/DialogRefresh.h"
#include "monitor/MonitorFormat.h"
#include "protocol/TextCodec.h"
#include "support/FakeClock.h"

namespace kestrane {
namespace {

using testing::MakeTime;

const LocalTime kNoon = MakeTime(2022, 1, 10, 12, 0, 0);

// The text a pass leaves in a control: the last one written to it, if any.
std::optional<std::string> TextOf(const std::vector<ControlText>& texts, int id) {
    std::optional<std::string> last;
    for (const ControlText& t : texts)
        if (t.id == id) last = t.text;
    return last;
}

std::optional<std::string> Shown(const ControllerData& data, int id, bool english = true) {
    return TextOf(FormatMonitorTexts(data, kNoon, english), id);
}

TEST(MonitorFormat, DateAndTimeArePaddedWithSpacesAndComeFirst) {
    ControllerData data;
    const auto texts = FormatMonitorTexts(data, MakeTime(2022, 1, 10, 8, 5, 0), true);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), (ControlText{id::kPcDateTime, "2022- 1-10   8: 5: 0"}));
    EXPECT_EQ(FormatPcDateTime(MakeTime(2023, 12, 31, 23, 59, 58)), "2023-12-31  23:59:58");
}

TEST(MonitorFormat, RunningStateNamesInBothLanguages) {
    struct Case {
        int state;
        const char* english;
        const char* chinese;
    };
    const Case cases[] = {
        {0, "Standby", "待机"},
        {1, "Fast Charging", "快速充电"},
        {2, "C.V. Charging", "恒压充电"},
        {3, "C.F. Charging", "浮充状态"},
        {4, "Start Charging", "启动充电"},
        {5, "C.V. Charging", "恒压充电"},
    };
    for (const Case& c : cases) {
        ControllerData data;
        data.chargeState = c.state;
        EXPECT_EQ(Shown(data, id::kRunningState, true), c.english) << c.state;
        EXPECT_EQ(Shown(data, id::kRunningState, false), c.chinese) << c.state;
    }
}

TEST(MonitorFormat, UnnamedRunningStateLeavesTheControlAlone) {
    for (int state : {6, 100, 0xFFFF}) {
        ControllerData data;
        data.chargeState = state;
        EXPECT_EQ(Shown(data, id::kRunningState), std::nullopt) << state;
    }
}

TEST(MonitorFormat, MeasurementsWithUnitsAndSignedTemperatures) {
    ControllerData data;
    data.pvVoltage = 1385;
    data.batteryVoltage = 138;
    data.loadVoltage = 0;
    data.chargeCurrent = 105;
    data.loadCurrent = 9;
    data.chargePower = 145;  // as reported, not volts times amps
    data.loadPower = 65535;
    data.innerTemperature = -10;
    data.batteryTemperature = static_cast<int16_t>(0xFFFB);
    const auto texts = FormatMonitorTexts(data, kNoon, true);
    EXPECT_EQ(TextOf(texts, id::kPvVoltage), "138.5V");
    EXPECT_EQ(TextOf(texts, id::kBatteryVoltage), "13.8V");
    EXPECT_EQ(TextOf(texts, id::kLoadVoltage), "0.0V");
    EXPECT_EQ(TextOf(texts, id::kChargeCurrent), "10.5A");
    EXPECT_EQ(TextOf(texts, id::kLoadCurrent), "0.9A");
    EXPECT_EQ(TextOf(texts, id::kChargePower), "145W");
    EXPECT_EQ(TextOf(texts, id::kLoadPower), "65535W");
    EXPECT_EQ(TextOf(texts, id::kInnerTemperature), "-10.0℃");
    EXPECT_EQ(TextOf(texts, id::kBatteryTemperature), "-5.0℃");

    data.innerTemperature = 25;
    EXPECT_EQ(Shown(data, id::kInnerTemperature), "25.0℃");
}

TEST(MonitorFormat, AlarmNamesAndUnnamedCodesInHex) {
    struct Case {
        int code;
        const char* english;
        const char* chinese;
    };
    const Case cases[] = {
        {0x000, "Normal Run", "运行正常"},
        {0x001, "BAT Over", "电池过压"},
        {0x002, "PV Over", "PV过压"},
        {0x004, "CHG-I Over", "充电过流"},
        {0x008, "Dis-I Over", "放电过流"},
        {0x010, "BAT Temp", "电池过温"},
        {0x020, "Inner Temp", "内部过温"},
        {0x040, "PV Low", "PV欠压"},
        {0x080, "BAT Low", "电池欠压"},
        {0x100, "TZ Protect", "触发TZ保护"},
        {0x200, "RemoteStop", "远程停机"},
        // Several alarms at once, or bits without a name, show the code.
        {0x003, "3", "3"},
        {0x180, "180", "180"},
        {0x400, "400", "400"},
        {0xFFFF, "FFFF", "FFFF"},
    };
    for (const Case& c : cases) {
        ControllerData data;
        data.alarmCode = c.code;
        EXPECT_EQ(Shown(data, id::kAlarm, true), c.english) << c.code;
        EXPECT_EQ(Shown(data, id::kAlarm, false), c.chinese) << c.code;
    }
}

// A record whose lead-acid and lithium registers all differ, so each shows
// which set a control is taken from.
void FillBatteryRegisters(ControllerData& data) {
    data.cvChargeVoltage = 141;
    data.floatChargeVoltage = 135;
    data.equalizeVoltage = 143;
    data.equalizeMinutes = 120;
    data.liChargeVoltage = 146;
    data.liNominalVoltage = 128;
    data.overVoltageProtect = 160;
    data.overVoltageRecover = 150;
    data.lowVoltageProtect = 105;
    data.lowVoltageRecover = 125;
    data.liOverVoltageProtect = 150;
    data.liOverVoltageRecover = 145;
    data.liLowVoltageProtect = 100;
    data.liLowVoltageRecover = 110;
    data.maxChargeCurrent = 400;
    data.maxLoadCurrent = 200;
    data.systemVoltageSetting = 2;
    data.systemVoltageUnits = 2;
}

TEST(MonitorFormat, BatteryTypeNamesAndChargeVoltages) {
    struct Case {
        int type;
        const char* english;
        const char* chinese;
        const char* charge;
        const char* floatCharge;
        const char* equalize;
    };
    const Case cases[] = {
        {0, "User-Diy", "自定义铅酸", "14.1", "13.5", "14.3"},
        {1, "FLD", "FLD型铅酸", "14.6", "13.8", "14.8"},
        {2, "SEL", "SEL型铅酸", "14.4", "13.8", "14.6"},
        {3, "GEL", "GEL型铅酸", "14.2", "13.8", "14.2"},
        {4, "Li-ion", "锂离子", "14.6", "12.8", ""},
        {5, "AGM", "AGM型铅酸", "14.1", "13.5", "14.3"},
    };
    for (const Case& c : cases) {
        ControllerData data;
        FillBatteryRegisters(data);
        data.batteryType = c.type;
        const auto english = FormatMonitorTexts(data, kNoon, true);
        EXPECT_EQ(TextOf(english, id::kBatteryType), c.english) << c.type;
        EXPECT_EQ(TextOf(english, id::kChargeVoltage), c.charge) << c.type;
        EXPECT_EQ(TextOf(english, id::kFloatVoltage), c.floatCharge) << c.type;
        EXPECT_EQ(TextOf(english, id::kEqualizeVoltage), c.equalize) << c.type;
        EXPECT_EQ(Shown(data, id::kBatteryType, false), c.chinese) << c.type;
    }
}

TEST(MonitorFormat, UnknownBatteryTypeKeepsChargeVoltagesButShowsLeadAcidLayout) {
    ControllerData data;
    FillBatteryRegisters(data);
    data.batteryType = 6;
    const auto texts = FormatMonitorTexts(data, kNoon, false);
    EXPECT_EQ(TextOf(texts, id::kBatteryType), "--");
    EXPECT_EQ(TextOf(texts, id::kChargeVoltage), std::nullopt);
    EXPECT_EQ(TextOf(texts, id::kFloatVoltage), std::nullopt);
    EXPECT_EQ(TextOf(texts, id::kEqualizeVoltage), std::nullopt);
    EXPECT_EQ(TextOf(texts, id::kOverVoltageProtect), "16.0");
    EXPECT_EQ(TextOf(texts, id::kEqualizeVoltageCaption), "均衡充电电压：");
}

TEST(MonitorFormat, LeadAcidLayout) {
    ControllerData data;
    FillBatteryRegisters(data);
    data.batteryType = 0;
    const auto english = FormatMonitorTexts(data, kNoon, true);
    const std::pair<int, const char*> expected[] = {
        {id::kEqualizeMinutes, "120"},
        {id::kOverVoltageProtect, "16.0"},
        {id::kOverVoltageRecover, "15.0"},
        {id::kLowVoltageProtect, "10.5"},
        {id::kLowVoltageRecover, "12.5"},
        {id::kSystemVoltage, "24"},
        {id::kSystemVoltageUnit, "V"},
        {id::kSystemVoltageCaption, "System  Volt.:"},
        {id::kChargeVoltageCaption, "C. V.  Charge:"},
        {id::kFloatVoltageCaption, "Float  Charge:"},
        {id::kEqualizeVoltageCaption, "Equalizing.V :"},
        {id::kEqualizeMinutesCaption, "Equalizing.T :"},
        {id::kEqualizeVoltageUnit, "V"},
        {id::kEqualizeMinutesUnit, "min"},
        {id::kMaxChargeCurrent, "40.0"},
        {id::kMaxLoadCurrent, "20.0"},
    };
    for (const auto& [control, text] : expected)
        EXPECT_EQ(TextOf(english, control), text) << control;

    const auto chinese = FormatMonitorTexts(data, kNoon, false);
    EXPECT_EQ(TextOf(chinese, id::kSystemVoltageCaption), "电池系统电压:");
    EXPECT_EQ(TextOf(chinese, id::kChargeVoltageCaption), "恒压充电电压：");
    EXPECT_EQ(TextOf(chinese, id::kFloatVoltageCaption), "浮充充电电压：");
    EXPECT_EQ(TextOf(chinese, id::kEqualizeMinutesCaption), "均衡充电时间：");
    EXPECT_EQ(TextOf(chinese, id::kEqualizeMinutesUnit), "min");
}

TEST(MonitorFormat, LithiumLayoutEmptiesTheEqualizingRowsAndShowsLithiumProtection) {
    ControllerData data;
    FillBatteryRegisters(data);
    data.batteryType = 0;
    const auto before = FormatMonitorTexts(data, kNoon, true);
    EXPECT_EQ(TextOf(before, id::kEqualizeVoltage), "14.3");

    data.batteryType = 4;
    const auto english = FormatMonitorTexts(data, kNoon, true);
    const std::pair<int, const char*> expected[] = {
        {id::kEqualizeMinutes, ""},
        {id::kOverVoltageProtect, "15.0"},
        {id::kOverVoltageRecover, "14.5"},
        {id::kLowVoltageProtect, "10.0"},
        {id::kLowVoltageRecover, "11.0"},
        {id::kSystemVoltage, " "},
        {id::kSystemVoltageUnit, " "},
        {id::kSystemVoltageCaption, ""},
        {id::kChargeVoltageCaption, "Charge  Volt.:"},
        {id::kFloatVoltageCaption, "Nominal Volt.:"},
        {id::kEqualizeVoltageCaption, ""},
        {id::kEqualizeMinutesCaption, ""},
        {id::kEqualizeVoltageUnit, ""},
        {id::kEqualizeMinutesUnit, ""},
        {id::kEqualizeVoltage, ""},
        {id::kMaxChargeCurrent, "40.0"},
        {id::kMaxLoadCurrent, "20.0"},
    };
    for (const auto& [control, text] : expected)
        EXPECT_EQ(TextOf(english, control), text) << control;

    const auto chinese = FormatMonitorTexts(data, kNoon, false);
    EXPECT_EQ(TextOf(chinese, id::kChargeVoltageCaption), "饱和充电电压：");
    EXPECT_EQ(TextOf(chinese, id::kFloatVoltageCaption), "电池标称电压：");
}

TEST(MonitorFormat, SystemVoltageMarksAutomaticDetection) {
    ControllerData data;
    data.systemVoltageUnits = 1;
    data.systemVoltageSetting = 1;
    EXPECT_EQ(Shown(data, id::kSystemVoltage), "12");
    data.systemVoltageSetting = 0;
    EXPECT_EQ(Shown(data, id::kSystemVoltage), "(Auto)12");
    data.systemVoltageUnits = 2;
    EXPECT_EQ(Shown(data, id::kSystemVoltage), "(Auto)24");
}

TEST(MonitorFormat, IdentityTextsSkipZeroBytesWithoutTrimming) {
    ControllerData data;
    TextToWords("SN 2022-0042 ", data.serialNumber, ControllerData::kSerialWords);
    TextToWords("V1.3", data.firmwareVersion, ControllerData::kFirmwareWords);
    data.modelName[0] = 0x4B00;  // a zero low byte contributes nothing
    data.modelName[1] = 0x3330;
    const auto texts = FormatMonitorTexts(data, kNoon, true);
    EXPECT_EQ(TextOf(texts, id::kSerialValue), "SN 2022-0042 ");
    EXPECT_EQ(TextOf(texts, id::kFirmwareValue), "V1.3");
    EXPECT_EQ(TextOf(texts, id::kModelValue), "K03");
}

TEST(MonitorFormat, EnergiesInKilowattHoursIncludingFull32BitValues) {
    struct Case {
        uint32_t wattHours;
        const char* text;
    };
    const Case cases[] = {
        {0, "0.000kWh"},
        {5, "0.005kWh"},
        {999, "0.999kWh"},
        {1000, "1.000kWh"},
        {12345, "12.345kWh"},
        {0x80000000u, "2147483.648kWh"},
        {0xFFFFFFFFu, "4294967.295kWh"},
    };
    const int controls[] = {id::kChargedToday, id::kChargedMonth, id::kChargedTotal,
                            id::kUsedToday,    id::kUsedMonth,    id::kUsedTotal};
    for (const Case& c : cases) {
        ControllerData data;
        for (auto* field : {&data.chargedTodayWh, &data.chargedMonthWh, &data.chargedTotalWh,
                            &data.usedTodayWh, &data.usedMonthWh, &data.usedTotalWh})
            field->store(static_cast<int32_t>(c.wattHours));
        const auto texts = FormatMonitorTexts(data, kNoon, true);
        for (int control : controls)
            EXPECT_EQ(TextOf(texts, control), c.text) << control;
    }
}

TEST(MonitorFormat, ZeroRecordBeforeTheFirstReply) {
    ControllerData data;
    const auto texts = FormatMonitorTexts(data, kNoon, true);
    EXPECT_EQ(TextOf(texts, id::kRunningState), "Standby");
    EXPECT_EQ(TextOf(texts, id::kPvVoltage), "0.0V");
    EXPECT_EQ(TextOf(texts, id::kBatteryType), "User-Diy");
    EXPECT_EQ(TextOf(texts, id::kAlarm), "Normal Run");
    EXPECT_EQ(TextOf(texts, id::kSystemVoltage), "(Auto)0");
    // Every control is written at most once per pass.
    for (std::size_t i = 0; i < texts.size(); ++i)
        for (std::size_t j = i + 1; j < texts.size(); ++j)
            EXPECT_NE(texts[i].id, texts[j].id) << texts[i].id;
}

TEST(LanguageText, OnlyTheExactFlagSelectsEnglish) {
    EXPECT_EQ(PickLanguageText("ENGLISH", "中文", "English"), "English");
    for (const char* flag : {"english", "English", "ENGLISH ", "", "CHINESE"})
        EXPECT_EQ(PickLanguageText(flag, "中文", "English"), "中文") << flag;
    EXPECT_FALSE(IsEnglishFlag("english"));
}

TEST(DialogRefresh, OneRequestPerRaisedFlagInFixedOrder) {
    ControllerData data;
    data.calibrationEditsReload = 1;  // not a refresh flag
    EXPECT_TRUE(PendingDialogRefreshes(data).empty());

    data.clockDialogRefresh = 1;
    data.addressDialogRefresh = 1;
    const std::vector<DialogRefreshRequest> expected = {
        {id::kCheckAddressDialog, 0x401},
        {id::kSetTimeDialog, 0x403},
    };
    EXPECT_EQ(PendingDialogRefreshes(data), expected);

    data.calibrationDialogRefresh = 1;
    EXPECT_EQ(PendingDialogRefreshes(data).at(1),
              (DialogRefreshRequest{id::kDataCorrectionDialog, 0x402}));
}

}  // namespace
}  // namespace kestrane
