#include "monitor/StateTexts.h"

#include "monitor/DisplayText.h"
#include "monitor/NumberText.h"

namespace kestrane {

namespace {

struct NamedValue {
    uint32_t value;
    LanguageText text;
};

constexpr NamedValue kRunningStates[] = {
    {0, {"Standby", "待机"}},
    {1, {"Fast Charging", "快速充电"}},
    {2, {"C.V. Charging", "恒压充电"}},
    {3, {"C.F. Charging", "浮充状态"}},
    {4, {"Start Charging", "启动充电"}},
    {5, {"C.V. Charging", "恒压充电"}},
};

constexpr NamedValue kAlarms[] = {
    {0x000, {"Normal Run", "运行正常"}}, {0x001, {"BAT Over", "电池过压"}},
    {0x002, {"PV Over", "PV过压"}},      {0x004, {"CHG-I Over", "充电过流"}},
    {0x008, {"Dis-I Over", "放电过流"}}, {0x010, {"BAT Temp", "电池过温"}},
    {0x020, {"Inner Temp", "内部过温"}}, {0x040, {"PV Low", "PV欠压"}},
    {0x080, {"BAT Low", "电池欠压"}},    {0x100, {"TZ Protect", "触发TZ保护"}},
    {0x200, {"RemoteStop", "远程停机"}},
};

template <std::size_t N>
std::vector<uint32_t> ValuesOf(const NamedValue (&table)[N]) {
    std::vector<uint32_t> values;
    for (const NamedValue& row : table)
        values.push_back(row.value);
    return values;
}

}  // namespace

std::optional<std::string> RunningStateText(uint32_t chargeState, bool english) {
    const NamedValue* row = FindByValue(kRunningStates, chargeState);
    if (row == nullptr) return std::nullopt;
    return std::string(row->text.In(english));
}

std::string AlarmText(uint32_t alarmCode, bool english) {
    const NamedValue* row = FindByValue(kAlarms, alarmCode);
    return row != nullptr ? std::string(row->text.In(english)) : FormatHex(alarmCode);
}

std::vector<std::string> AlarmNames(uint32_t alarmCode, bool english) {
    std::vector<std::string> names;
    for (uint32_t bit = 1; bit != 0; bit <<= 1) {
        if ((alarmCode & bit) == 0) continue;
        const NamedValue* row = FindByValue(kAlarms, bit);
        names.push_back(row != nullptr ? std::string(row->text.In(english)) : FormatHex(bit));
    }
    return names;
}

std::vector<uint32_t> NamedRunningStates() {
    return ValuesOf(kRunningStates);
}

std::vector<uint32_t> NamedAlarmCodes() {
    return ValuesOf(kAlarms);
}

}  // namespace kestrane
