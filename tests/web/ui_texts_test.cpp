#include "web/UiTexts.h"

#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "monitor/BatteryText.h"
#include "monitor/StateTexts.h"
#include "ui/tables/MainWindowTexts.h"

namespace kestrane::web {
namespace {

using nlohmann::json;

constexpr const char* kSections[] = {"charge_state", "alarm",  "load_mode",
                                     "battery_type", "groups", "fields"};

TEST(UiTexts, BothLanguagesNameTheSameKeys) {
    const json texts = UiTexts();
    ASSERT_EQ(texts.size(), 2u);
    for (const char* section : kSections) {
        const json& en = texts.at("en").at(section);
        const json& zh = texts.at("zh").at(section);
        ASSERT_TRUE(en.is_object()) << section;
        EXPECT_FALSE(en.empty()) << section;
        ASSERT_EQ(en.size(), zh.size()) << section;
        for (const auto& [key, value] : en.items()) {
            ASSERT_TRUE(zh.contains(key)) << section << "." << key;
            EXPECT_TRUE(value.is_string()) << section << "." << key;
            // An empty text means a row points at a caption the window does
            // not show under every battery.
            EXPECT_FALSE(value.get<std::string>().empty()) << section << "." << key;
            EXPECT_FALSE(zh.at(key).get<std::string>().empty()) << section << "." << key;
        }
    }
}

TEST(UiTexts, ChineseIsTheWindowsOwn) {
    const json zh = UiTexts().at("zh");
    EXPECT_EQ(zh["charge_state"]["1"], "快速充电");
    EXPECT_EQ(zh["charge_state"]["3"], "浮充状态");
    EXPECT_EQ(zh["alarm"]["0"], "运行正常");
    EXPECT_EQ(zh["alarm"]["128"], "电池欠压");
    EXPECT_EQ(zh["load_mode"]["Light&Time"], "固定时间光控模式");
    EXPECT_EQ(zh["load_mode"]["Off"], "常关模式");
    EXPECT_EQ(zh["battery_type"]["4"], "锂离子");
    EXPECT_EQ(zh["groups"]["realtime"], "实时数据");
    EXPECT_EQ(zh["groups"]["battery"], "控制器电池参数");
    EXPECT_EQ(zh["groups"]["load"], "控制器负载参数");
    EXPECT_EQ(zh["groups"]["energy"], "电量统计");
    EXPECT_EQ(zh["fields"]["pv_voltage"], "光伏电压");
    EXPECT_EQ(zh["fields"]["used_month_wh"], "本月用电");

    // Every name, also those not spelled out above, is the window table's.
    for (const uint32_t code : NamedRunningStates())
        EXPECT_EQ(zh["charge_state"][std::to_string(code)], *RunningStateText(code, false));
    for (const uint32_t code : NamedBatteryTypes())
        EXPECT_EQ(zh["battery_type"][std::to_string(code)], BatteryTypeName(code, false));
    EXPECT_EQ(zh["groups"]["running"], CaptionAsLabel(FixedCaptionOf(1129)->chinese));
}

TEST(UiTexts, EnglishNamesAndTheBridgeOptions) {
    const json en = UiTexts().at("en");
    EXPECT_EQ(en["charge_state"]["0"], "Standby");
    EXPECT_EQ(en["groups"]["realtime"], "Real-time Data");
    EXPECT_EQ(en["fields"]["charged_today_wh"], "Day CHG");
    EXPECT_EQ(en["fields"]["model"], "MPPT Model");
    // The load modes are keyed by what POST load_mode and the state's
    // load_mode carry.
    EXPECT_EQ(en["load_mode"], (json{{"Light", "Light Mode"},
                                     {"Light&Time", "Light&Time Mode"},
                                     {"Dual Timer", "Dual Timer Mode"},
                                     {"On", "On Mode"},
                                     {"Off", "Off Mode"}}));
}

// Alarms are listed one bit each (and normal operation), never as a
// combination: the page names a combination by joining its bits.
TEST(UiTexts, AlarmsAreSingleBits) {
    const json alarms = UiTexts().at("en").at("alarm");
    EXPECT_EQ(alarms.size(), 11u);
    for (const auto& [key, name] : alarms.items()) {
        const unsigned long code = std::stoul(key);
        EXPECT_EQ(code & (code - 1), 0u) << key;
        EXPECT_EQ(name, AlarmText(static_cast<uint32_t>(code), true));
    }
}

TEST(CaptionAsLabel, TakesOffTheColonAndExtraSpaces) {
    const std::pair<const char*, const char*> cases[] = {
        {"PV  Volt.:", "PV Volt."},
        {"Day   CHG:", "Day CHG"},
        {"光伏电压：", "光伏电压"},
        {"本月用电；", "本月用电"},
        {"地址号：:", "地址号"},
        {" Language:English", "Language:English"},
        {"Running State", "Running State"},
        {"", ""},
        {"::", ""},
    };
    for (const auto& [caption, label] : cases)
        EXPECT_EQ(CaptionAsLabel(caption), label) << caption;
}

// The browser tests' mock server answers GET /api/v1/texts with a copy of
// these texts; it must not drift from what the bridge sends.
// KESTRANE_WRITE_MOCK_TEXTS=1 rewrites the copy.
TEST(UiTexts, MockServerCopyIsCurrent) {
    const json texts = UiTexts();
    if (std::getenv("KESTRANE_WRITE_MOCK_TEXTS") != nullptr)
        std::ofstream(KESTRANE_MOCK_TEXTS) << texts.dump(2) << "\n";
    std::ifstream in(KESTRANE_MOCK_TEXTS);
    ASSERT_TRUE(in.good()) << KESTRANE_MOCK_TEXTS;
    EXPECT_EQ(json::parse(in), texts) << "rerun with KESTRANE_WRITE_MOCK_TEXTS=1";
}

}  // namespace
}  // namespace kestrane::web
