#include "WatchView.h"

#include "monitor/ControlIds.h"
#include "ui/tables/MainWindowTexts.h"

namespace kestrane::cli {

namespace {

// A value control and the control that labels it in the window (0: none).
struct CaptionedValue {
    int valueId;
    int captionId;
};

constexpr CaptionedValue kLines[] = {
    {id::kPcDateTime, 0},
    {id::kModelValue, id::kModelLabel},
    {id::kFirmwareValue, id::kFirmwareLabel},
    {id::kSerialValue, id::kSerialLabel},
    {id::kRunningState, id::kRunningStateGroup},
    {id::kPvVoltage, id::kPvVoltageCaption},
    {id::kBatteryVoltage, id::kBatteryVoltageCaption},
    {id::kLoadVoltage, id::kLoadVoltageCaption},
    {id::kChargeCurrent, id::kChargeCurrentCaption},
    {id::kLoadCurrent, id::kLoadCurrentCaption},
    {id::kChargePower, id::kChargePowerCaption},
    {id::kLoadPower, id::kLoadPowerCaption},
    {id::kInnerTemperature, id::kInnerTemperatureCaption},
    {id::kBatteryTemperature, id::kBatteryTemperatureCaption},
    {id::kAlarm, id::kAlarmCaption},
    {id::kChargedToday, id::kChargedTodayCaption},
    {id::kChargedMonth, id::kChargedMonthCaption},
    {id::kChargedTotal, id::kChargedTotalCaption},
    {id::kUsedToday, id::kUsedTodayCaption},
    {id::kUsedMonth, id::kUsedMonthCaption},
    {id::kUsedTotal, id::kUsedTotalCaption},
    {id::kBatteryType, id::kBatteryTypeCaption},
    {id::kLoadLine1, 0},
    {id::kLoadLine2, 0},
    {id::kLoadLine3, 0},
    {id::kLoadLine4, 0},
    {id::kLoadLine5, 0},
    {id::kLoadLine6, 0},
};

// The window's caption of a control in one language; empty when it has none.
std::string_view CaptionOf(int captionId, bool english) {
    const MainWindowTextRow* row = FixedCaptionOf(captionId);
    if (row == nullptr) return {};
    const char* text = english ? row->english : row->chinese;
    return text != nullptr ? text : "";
}

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
        const std::string_view caption = CaptionOf(line.captionId, english);
        if (!caption.empty()) {
            screen += caption;
            screen += ' ';
        }
        screen += *text;
        screen += '\n';
    }
    screen += CaptionOf(id::kSentLabel, english);
    screen += std::to_string(sent);
    screen += "  ";
    screen += CaptionOf(id::kRepliesLabel, english);
    screen += std::to_string(received);
    screen += "\n\n";
    return screen;
}

}  // namespace kestrane::cli
