#include "WatchView.h"

#include "monitor/ControlIds.h"

namespace kestrane::cli {

namespace {

// A value control and the window's caption in front of it.
struct CaptionedValue {
    int valueId;
    LanguageText caption;
};

constexpr CaptionedValue kLines[] = {
    {id::kPcDateTime, {"", ""}},
    {id::kModelValue, {"MPPT Model:", "MPPT产品型号："}},
    {id::kFirmwareValue, {"Firmware:", "软件版本："}},
    {id::kSerialValue, {"Serial:", "序列号："}},
    {id::kRunningState, {"Running State", "运行状态"}},
    {id::kPvVoltage, {"PV  Volt.:", "光伏电压："}},
    {id::kBatteryVoltage, {"BAT Volt.:", "电池电压："}},
    {id::kLoadVoltage, {"LoadVolt.:", "负载电压："}},
    {id::kChargeCurrent, {"CHG Curr.:", "充电电流："}},
    {id::kLoadCurrent, {"LoadCurr.:", "负载电流："}},
    {id::kChargePower, {"CHG Power:", "充电功率："}},
    {id::kLoadPower, {"LoadPower:", "负载功率："}},
    {id::kInnerTemperature, {"InnerTemp:", "内部温度："}},
    {id::kBatteryTemperature, {"BAT  Temp:", "电池温度："}},
    {id::kAlarm, {"Alarm Tip:", "告警提示："}},
    {id::kChargedToday, {"Day   CHG:", "今日发电："}},
    {id::kChargedMonth, {"Month CHG:", "本月发电："}},
    {id::kChargedTotal, {"Total CHG:", "总发电量："}},
    {id::kUsedToday, {"Day  Used:", "今日用电："}},
    {id::kUsedMonth, {"MonthUsed:", "本月用电；"}},
    {id::kUsedTotal, {"TotalUsed:", "总用电量："}},
    {id::kBatteryType, {"Bat  Category:", "当前电池属性："}},
    {id::kLoadLine1, {"", ""}},
    {id::kLoadLine2, {"", ""}},
    {id::kLoadLine3, {"", ""}},
    {id::kLoadLine4, {"", ""}},
    {id::kLoadLine5, {"", ""}},
    {id::kLoadLine6, {"", ""}},
};

const std::string* TextOf(const std::vector<ControlText>& texts, int id) {
    for (const ControlText& text : texts)
        if (text.id == id) return &text.text;
    return nullptr;
}

}  // namespace

std::string WatchScreen(const std::vector<ControlText>& texts, int sent, int received,
                        bool english) {
    std::string screen;
    for (const CaptionedValue& line : kLines) {
        const std::string* text = TextOf(texts, line.valueId);
        if (text == nullptr || text->empty()) continue;
        const std::string_view caption = line.caption.In(english);
        if (!caption.empty()) {
            screen += caption;
            screen += ' ';
        }
        screen += *text;
        screen += '\n';
    }
    screen += english ? "Sent:" : "发送：";
    screen += std::to_string(sent);
    screen += english ? "  Received:" : "  接收：";
    screen += std::to_string(received);
    screen += "\n\n";
    return screen;
}

}  // namespace kestrane::cli
