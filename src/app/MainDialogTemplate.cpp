#include "app/MainDialogTemplate.h"

#include <array>

#include "monitor/ControlIds.h"
#include "monitor/LoadModeText.h"

namespace kestrane {

namespace {

using K = ControlKind;
namespace s = style;

// Value fields: sunken, text centred.
constexpr uint32_t kValue = s::kSunken | s::kCenter | s::kVCenter;
constexpr uint32_t kCaption = s::kVCenter;

constexpr auto kControls = std::to_array<ControlTemplate>({
    // Logos of the five colour themes, on top of each other; the theme shows one.
    Picture(id::kLogoTheme0, 5, 6, 100, 25),
    Picture(id::kLogoTheme1, 5, 6, 100, 25),
    Picture(id::kLogoTheme2, 5, 6, 100, 25),
    Picture(id::kLogoTheme3, 5, 6, 100, 25),
    Picture(id::kLogoTheme4, 5, 6, 100, 25),

    // Top line: identity of the controller and the message line.
    Label(id::kModelLabel, 123, 10, 58, 10, "MPPT产品型号：", kCaption),
    Label(id::kModelValue, 181, 10, 98, 10, "", kCaption),
    Label(id::kFirmwareLabel, 283, 10, 42, 10, "软件版本：", kCaption),
    Label(id::kFirmwareValue, 325, 10, 42, 10, "", kCaption),
    Label(id::kSerialLabel, 371, 10, 34, 10, "序列号：", kCaption),
    Label(id::kSerialValue, 405, 10, 76, 10, "", kCaption),
    Label(id::kMessageLabel, 485, 10, 46, 10, "系统消息：", kCaption),
    Label(id::kMessageLine, 531, 10, 160, 10, "", kCaption),

    // Port box.
    Group(kNoId, 7, 28, 98, 115, ""),
    Label(id::kPortLabel, 12, 43, 40, 10, "串口号:", kCaption),
    List(id::kPortList, K::SortedDropDownList, 53, 42, 48, 12),
    Label(id::kBaudLabel, 12, 61, 40, 10, "波特率:", kCaption),
    List(id::kBaudList, K::DropDownList, 53, 60, 48, 12),
    Label(id::kAddressLabel, 12, 79, 40, 10, "地址号：:", kCaption),
    List(id::kAddressList, K::DropDownList, 53, 78, 48, 12),
    Label(id::kPortState, 12, 98, 88, 12, "CLOSE", kValue),
    Button(id::kOpenButton, 12, 117, 88, 20, "OPEN"),

    // Command buttons.
    Button(id::kCheckAddressButton, 7, 154, 98, 34, "查询设备地址"),
    Button(id::kMonitorButton, 7, 194, 98, 34, "START MONITOR"),
    Button(id::kEditButton, 7, 234, 98, 34, "开始编辑"),
    Button(id::kSetTimeButton, 7, 274, 98, 34, "时钟同步设置"),
    Button(id::kRestoreButton, 7, 314, 98, 34, "恢复出厂设置"),
    Button(id::kDataCorrectionButton, 7, 354, 98, 34, "数据校正"),

    // Running state.
    Group(id::kRunningStateGroup, 115, 28, 107, 44, "运行状态"),
    Label(id::kRunningState, 126, 47, 85, 15, "", kValue),

    // Real-time data: ten rows 14 units apart.
    Group(id::kRealTimeGroup, 115, 81, 107, 178, "实时数据"),
    Label(id::kPvVoltageCaption, 120, 106, 44, 10, "光伏电压：", kCaption),
    Label(id::kBatteryVoltageCaption, 120, 120, 44, 10, "电池电压：", kCaption),
    Label(id::kLoadVoltageCaption, 120, 134, 44, 10, "负载电压：", kCaption),
    Label(id::kChargeCurrentCaption, 120, 148, 44, 10, "充电电流：", kCaption),
    Label(id::kLoadCurrentCaption, 120, 162, 44, 10, "负载电流：", kCaption),
    Label(id::kChargePowerCaption, 120, 176, 44, 10, "充电功率：", kCaption),
    Label(id::kLoadPowerCaption, 120, 190, 44, 10, "负载功率：", kCaption),
    Label(id::kInnerTemperatureCaption, 120, 204, 44, 10, "内部温度：", kCaption),
    Label(id::kBatteryTemperatureCaption, 120, 218, 44, 10, "电池温度：", kCaption),
    Label(id::kAlarmCaption, 120, 232, 44, 10, "告警提示：", kCaption),
    Label(id::kPvVoltage, 164, 106, 54, 10, "", kValue),
    Label(id::kBatteryVoltage, 164, 120, 54, 10, "", kValue),
    Label(id::kLoadVoltage, 164, 134, 54, 10, "", kValue),
    Label(id::kChargeCurrent, 164, 148, 54, 10, "", kValue),
    Label(id::kLoadCurrent, 164, 162, 54, 10, "", kValue),
    Label(id::kChargePower, 164, 176, 54, 10, "", kValue),
    Label(id::kLoadPower, 164, 190, 54, 10, "", kValue),
    Label(id::kInnerTemperature, 164, 204, 54, 10, "", kValue),
    Label(id::kBatteryTemperature, 164, 218, 54, 10, "", kValue),
    Label(id::kAlarm, 164, 232, 54, 10, "", kValue),

    // Energy statistics: six rows 14 units apart.
    Group(id::kEnergyGroup, 115, 269, 107, 119, "电量统计"),
    Label(id::kChargedTodayCaption, 120, 292, 44, 10, "今日发电：", kCaption),
    Label(id::kChargedMonthCaption, 120, 306, 44, 10, "本月发电：", kCaption),
    Label(id::kChargedTotalCaption, 120, 320, 44, 10, "总发电量：", kCaption),
    Label(id::kUsedTodayCaption, 120, 334, 44, 10, "今日用电：", kCaption),
    Label(id::kUsedMonthCaption, 120, 348, 44, 10, "本月用电；", kCaption),
    Label(id::kUsedTotalCaption, 120, 362, 44, 10, "总用电量：", kCaption),
    Label(id::kChargedToday, 164, 292, 54, 10, "", kValue),
    Label(id::kChargedMonth, 164, 306, 54, 10, "", kValue),
    Label(id::kChargedTotal, 164, 320, 54, 10, "", kValue),
    Label(id::kUsedToday, 164, 334, 54, 10, "", kValue),
    Label(id::kUsedMonth, 164, 348, 54, 10, "", kValue),
    Label(id::kUsedTotal, 164, 362, 54, 10, "", kValue),
    // The history window's button fills the free bottom of the energy group.
    Button(id::kHistoryButton, 120, 375, 98, 10, "历史记录"),

    // The controller's battery parameters: two columns of six rows.
    Group(id::kBatteryParametersGroup, 227, 28, 239, 111, "控制器电池参数"),
    Label(id::kBatteryTypeCaption, 232, 49, 58, 10, "当前电池属性：", kCaption),
    Label(id::kBatteryType, 291, 49, 50, 10, "", kValue),
    Label(id::kSystemVoltageCaption, 232, 64, 58, 10, "电池系统电压：", kCaption),
    Label(id::kSystemVoltage, 291, 64, 36, 10, "", kValue),
    Label(id::kSystemVoltageUnit, 329, 64, 14, 10, "V", kCaption),
    Label(id::kChargeVoltageCaption, 232, 79, 58, 10, "恒压充电电压：", kCaption),
    Label(id::kChargeVoltage, 291, 79, 36, 10, "", kValue),
    Label(kNoId, 329, 79, 14, 10, "V", kCaption),
    Label(id::kFloatVoltageCaption, 232, 94, 58, 10, "浮充充电电压：", kCaption),
    Label(id::kFloatVoltage, 291, 94, 36, 10, "", kValue),
    Label(kNoId, 329, 94, 14, 10, "V", kCaption),
    Label(id::kEqualizeVoltageCaption, 232, 109, 58, 10, "均衡充电电压：", kCaption),
    Label(id::kEqualizeVoltage, 291, 109, 36, 10, "", kValue),
    Label(id::kEqualizeVoltageUnit, 329, 109, 14, 10, "V", kCaption),
    Label(id::kEqualizeMinutesCaption, 232, 124, 58, 10, "均衡充电时间：", kCaption),
    Label(id::kEqualizeMinutes, 291, 124, 36, 10, "", kValue),
    Label(id::kEqualizeMinutesUnit, 329, 124, 14, 10, "min", kCaption),
    Label(id::kMaxChargeCurrentCaption, 348, 49, 58, 10, "最大充电电流：", kCaption),
    Label(id::kMaxChargeCurrent, 407, 49, 36, 10, "", kValue),
    Label(kNoId, 445, 49, 14, 10, "A", kCaption),
    Label(id::kMaxLoadCurrentCaption, 348, 64, 58, 10, "最大负载电流：", kCaption),
    Label(id::kMaxLoadCurrent, 407, 64, 36, 10, "", kValue),
    Label(kNoId, 445, 64, 14, 10, "A", kCaption),
    Label(id::kOverVoltageProtectCaption, 348, 79, 58, 10, "电池过压保护：", kCaption),
    Label(id::kOverVoltageProtect, 407, 79, 36, 10, "", kValue),
    Label(kNoId, 445, 79, 14, 10, "V", kCaption),
    Label(id::kOverVoltageRecoverCaption, 348, 94, 58, 10, "电池过压恢复：", kCaption),
    Label(id::kOverVoltageRecover, 407, 94, 36, 10, "", kValue),
    Label(kNoId, 445, 94, 14, 10, "V", kCaption),
    Label(id::kLowVoltageProtectCaption, 348, 109, 58, 10, "电池欠压保护：", kCaption),
    Label(id::kLowVoltageProtect, 407, 109, 36, 10, "", kValue),
    Label(kNoId, 445, 109, 14, 10, "V", kCaption),
    Label(id::kLowVoltageRecoverCaption, 348, 124, 58, 10, "电池欠压恢复：", kCaption),
    Label(id::kLowVoltageRecover, 407, 124, 36, 10, "", kValue),
    Label(kNoId, 445, 124, 14, 10, "V", kCaption),

    // Battery settings: selection, lead-acid set, lithium set.
    Group(id::kBatterySettingsGroup, 227, 149, 239, 239, "电池参数设置"),
    Group(id::kBatterySelectionGroup, 232, 161, 229, 64, "选择电池"),
    Label(id::kBatteryTypeLabel, 237, 175, 58, 10, "电池种类选择：", kCaption),
    List(id::kBatteryTypeList, K::DropDownList, 296, 174, 54, 12),
    Label(id::kSystemVoltageLabel, 354, 175, 44, 10, "系统电压:", kCaption),
    List(id::kSystemVoltageList, K::DropDownList, 399, 174, 56, 12),
    Label(id::kMaxChargeCurrentLabel, 237, 192, 58, 10, "最大充电电流：", kCaption),
    EditBox(id::kMaxChargeCurrentEdit, 296, 191, 40, 12),
    Label(kNoId, 338, 192, 10, 10, "A", kCaption),
    Label(id::kMaxLoadCurrentLabel, 354, 192, 58, 10, "最大负载电流：", kCaption),
    EditBox(id::kMaxLoadCurrentEdit, 413, 191, 32, 12),
    Label(kNoId, 447, 192, 10, 10, "A", kCaption),
    Button(id::kBatterySaveButton, 399, 207, 56, 14, "保存设置"),
    Group(id::kLeadAcidGroup, 232, 229, 118, 137, "铅酸电池设置项(9~15V)"),
    Label(id::kCvChargeVoltageLabel, 236, 243, 58, 10, "恒压充电电压：", kCaption),
    Label(id::kEqualizeVoltageLabel, 236, 258, 58, 10, "均衡充电电压：", kCaption),
    Label(id::kFloatChargeVoltageLabel, 236, 273, 58, 10, "浮充充电电压：", kCaption),
    Label(id::kEqualizeMinutesLabel, 236, 288, 58, 10, "均衡充电时间：", kCaption),
    Label(id::kOverVoltageProtectLabel, 236, 303, 58, 10, "电池过压保护：", kCaption),
    Label(id::kOverVoltageRecoverLabel, 236, 318, 58, 10, "电池过压恢复：", kCaption),
    Label(id::kLowVoltageProtectLabel, 236, 333, 58, 10, "电池欠压保护：", kCaption),
    Label(id::kLowVoltageRecoverLabel, 236, 348, 58, 10, "电池欠压恢复：", kCaption),
    EditBox(id::kCvChargeVoltageEdit, 295, 242, 36, 12),
    EditBox(id::kEqualizeVoltageEdit, 295, 257, 36, 12),
    EditBox(id::kFloatChargeVoltageEdit, 295, 272, 36, 12),
    EditBox(id::kEqualizeMinutesEdit, 295, 287, 36, 12),
    EditBox(id::kOverVoltageProtectEdit, 295, 302, 36, 12),
    EditBox(id::kOverVoltageRecoverEdit, 295, 317, 36, 12),
    EditBox(id::kLowVoltageProtectEdit, 295, 332, 36, 12),
    EditBox(id::kLowVoltageRecoverEdit, 295, 347, 36, 12),
    Label(kNoId, 333, 243, 14, 10, "V", kCaption),
    Label(kNoId, 333, 258, 14, 10, "V", kCaption),
    Label(kNoId, 333, 273, 14, 10, "V", kCaption),
    Label(kNoId, 333, 288, 14, 10, "min", kCaption),
    Label(kNoId, 333, 303, 14, 10, "V", kCaption),
    Label(kNoId, 333, 318, 14, 10, "V", kCaption),
    Label(kNoId, 333, 333, 14, 10, "V", kCaption),
    Label(kNoId, 333, 348, 14, 10, "V", kCaption),
    Group(id::kLithiumGroup, 354, 229, 107, 137, "锂电池设置项"),
    Label(id::kLiChargeVoltageLabel, 358, 243, 58, 10, "饱和充电电压：", kCaption),
    Label(id::kLiNominalVoltageLabel, 358, 258, 58, 10, "标称电池电压：", kCaption),
    Label(id::kLiOverVoltageProtectLabel, 358, 273, 58, 10, "电池过压保护：", kCaption),
    Label(id::kLiOverVoltageRecoverLabel, 358, 288, 58, 10, "电池过压恢复：", kCaption),
    Label(id::kLiLowVoltageProtectLabel, 358, 303, 58, 10, "电池欠压保护：", kCaption),
    Label(id::kLiLowVoltageRecoverLabel, 358, 318, 58, 10, "电池欠压恢复：", kCaption),
    EditBox(id::kLiChargeVoltageEdit, 417, 242, 32, 12),
    EditBox(id::kLiNominalVoltageEdit, 417, 257, 32, 12),
    EditBox(id::kLiOverVoltageProtectEdit, 417, 272, 32, 12),
    EditBox(id::kLiOverVoltageRecoverEdit, 417, 287, 32, 12),
    EditBox(id::kLiLowVoltageProtectEdit, 417, 302, 32, 12),
    EditBox(id::kLiLowVoltageRecoverEdit, 417, 317, 32, 12),
    Label(kNoId, 451, 243, 8, 10, "V", kCaption),
    Label(kNoId, 451, 258, 8, 10, "V", kCaption),
    Label(kNoId, 451, 273, 8, 10, "V", kCaption),
    Label(kNoId, 451, 288, 8, 10, "V", kCaption),
    Label(kNoId, 451, 303, 8, 10, "V", kCaption),
    Label(kNoId, 451, 318, 8, 10, "V", kCaption),
    Button(id::kBatteryVoltageSaveButton, 399, 370, 56, 14, "保存设置"),

    // The controller's load control, as six lines of text.
    Group(id::kLoadParametersGroup, 472, 28, 219, 111, "控制器负载参数"),
    Label(id::kLoadLine1, 476, 44, 211, 10, "", kCaption),
    Label(id::kLoadLine2, 476, 59, 211, 10, "", kCaption),
    Label(id::kLoadLine3, 476, 74, 211, 10, "", kCaption),
    Label(id::kLoadLine4, 476, 89, 211, 10, "", kCaption),
    Label(id::kLoadLine5, 476, 104, 211, 10, "", kCaption),
    Label(id::kLoadLine6, 476, 119, 211, 10, "", kCaption),

    // Load settings: mode, one box per mode, SAVE.
    Group(id::kLoadSettingsGroup, 472, 149, 219, 239, "负载模式和参数设置"),
    Label(id::kLoadModeLabel, 478, 163, 80, 10, "负载模式选择：", kCaption),
    List(id::kLoadModeListChinese, K::DropDownList, 560, 162, 90, 12),
    List(id::kLoadModeListEnglish, K::DropDownList, 560, 162, 90, 12, s::kHidden),
    Group(id::kLightModeGroup, 477, 179, 209, 56, "光控模式参数"),
    Label(id::kLightOnVoltageLabel, 481, 194, 72, 10, "开负载->PV欠压：", kCaption),
    EditBox(id::kLightOnVoltageEdit, 554, 193, 28, 12),
    Label(kNoId, 584, 194, 8, 10, "V", kCaption),
    Label(id::kLightOffVoltageLabel, 481, 213, 72, 10, "关负载->PV正常：", kCaption),
    EditBox(id::kLightOffVoltageEdit, 554, 212, 28, 12),
    Label(kNoId, 584, 213, 8, 10, "V", kCaption),
    Label(id::kLightOnDelayLabel, 595, 194, 50, 10, "开动作延时：", kCaption),
    EditBox(id::kLightOnDelayEdit, 646, 193, 22, 12),
    Label(kNoId, 670, 194, 14, 10, "min", kCaption),
    Label(id::kLightOffDelayLabel, 595, 213, 50, 10, "关动作延时：", kCaption),
    EditBox(id::kLightOffDelayEdit, 646, 212, 22, 12),
    Label(kNoId, 670, 213, 14, 10, "min", kCaption),
    Group(id::kDualTimerGroup, 477, 240, 209, 56, "双时段定时模式参数"),
    Label(id::kTimer1OnLabel, 481, 255, 68, 10, "时段1-> ON时间：", kCaption),
    EditBox(id::kTimer1OnHourEdit, 550, 254, 18, 12),
    Label(kNoId, 568, 255, 5, 10, ":", s::kCenter | kCaption),
    EditBox(id::kTimer1OnMinuteEdit, 573, 254, 18, 12),
    Label(id::kTimer1OffLabel, 597, 255, 40, 10, "OFF时间：", kCaption),
    EditBox(id::kTimer1OffHourEdit, 638, 254, 18, 12),
    Label(kNoId, 656, 255, 5, 10, ":", s::kCenter | kCaption),
    EditBox(id::kTimer1OffMinuteEdit, 661, 254, 18, 12),
    Label(id::kTimer2OnLabel, 481, 274, 68, 10, "时段2-> ON时间：", kCaption),
    EditBox(id::kTimer2OnHourEdit, 550, 273, 18, 12),
    Label(kNoId, 568, 274, 5, 10, ":", s::kCenter | kCaption),
    EditBox(id::kTimer2OnMinuteEdit, 573, 273, 18, 12),
    Label(id::kTimer2OffLabel, 597, 274, 40, 10, "OFF时间：", kCaption),
    EditBox(id::kTimer2OffHourEdit, 638, 273, 18, 12),
    Label(kNoId, 656, 274, 5, 10, ":", s::kCenter | kCaption),
    EditBox(id::kTimer2OffMinuteEdit, 661, 273, 18, 12),
    Group(id::kLightTimeGroup, 477, 301, 209, 56, "固定时间光控模式参数"),
    Label(id::kLightTimeOnVoltageLabel, 481, 316, 86, 10, "天黑->开-> PV欠压：", kCaption),
    EditBox(id::kLightTimeOnVoltageEdit, 568, 315, 26, 12),
    Label(kNoId, 596, 316, 8, 10, "V", kCaption),
    Label(id::kLightTimeOffVoltageLabel, 481, 335, 86, 10, "天亮->关-> PV正常：", kCaption),
    EditBox(id::kLightTimeOffVoltageEdit, 568, 334, 26, 12),
    Label(kNoId, 596, 335, 8, 10, "V", kCaption),
    Label(id::kEveningHoursLabel, 607, 316, 34, 10, "ON时长：", kCaption),
    EditBox(id::kEveningHoursEdit, 642, 315, 24, 12),
    Label(kNoId, 668, 316, 8, 10, "h", kCaption),
    Label(id::kMorningHoursLabel, 607, 335, 34, 10, "ON时长：", kCaption),
    EditBox(id::kMorningHoursEdit, 642, 334, 24, 12),
    Label(kNoId, 668, 335, 8, 10, "h", kCaption),
    Button(id::kLoadSaveButton, 630, 366, 56, 16, "保存设置"),

    // Bottom bar, below a rule.
    HorizontalRule(5, 398, 692),
    Label(id::kPcDateTime, 7, 407, 96, 10, "", kCaption),
    Label(id::kFixedCaption, 105, 407, 108, 10, "Kestrane MPPT Monitor", kCaption),
    Label(id::kSentLabel, 218, 407, 28, 10, "发送：", s::kRight | kCaption),
    Label(id::kFramesSent, 247, 407, 40, 10, "0", kValue),
    Label(id::kRepliesLabel, 292, 407, 38, 10, "接收：", s::kRight | kCaption),
    Label(id::kRepliesReceived, 331, 407, 40, 10, "0", kValue),
    // The theme lists are wide enough for "Classic grey" beside the drop-down button.
    Label(id::kBackgroundLabel, 374, 407, 47, 10, "背景选择：", s::kRight | kCaption),
    List(id::kBackgroundListChinese, K::DropDownList, 422, 406, 69, 12),
    List(id::kBackgroundListEnglish, K::DropDownList, 422, 406, 69, 12, s::kHidden),
    Button(id::kBackgroundSaveButton, 494, 405, 36, 14, "保存"),
    Label(id::kLanguageLabel, 538, 407, 72, 10, " 语言：中文", kCaption),
    Button(id::kLanguageButton, 612, 405, 79, 14, "Turn To English"),
});

constexpr std::array<std::string_view, 18> kBaudRates{
    "110",   "300",   "600",   "1200",   "2400",   "4800",   "9600",   "14400",  "19200",
    "38400", "56000", "57600", "115200", "128000", "256000", "230400", "460800", "921600"};
constexpr std::array<std::string_view, 5> kBatteryTypes{"User-Diy", "FLD", "SEL", "GEL", "Li-ion"};
constexpr std::array<std::string_view, 1> kSystemVoltageAuto{"Auto"};
// The load-mode lists take their entries from the table the web page shares.
constexpr std::array<std::string_view, kLoadModeEntries> LoadModeListItems(bool english) {
    std::array<std::string_view, kLoadModeEntries> items{};
    for (int i = 0; i < kLoadModeEntries; ++i)
        items[i] = kLoadModeListNames[i].In(english);
    return items;
}
constexpr auto kLoadModesChinese = LoadModeListItems(false);
constexpr auto kLoadModesEnglish = LoadModeListItems(true);
constexpr std::array<std::string_view, 5> kThemesChinese{"酷黑色", "水蓝色", "经典灰", "橙黄色",
                                                         "浅绿色"};
constexpr std::array<std::string_view, 5> kThemesEnglish{"Cool black", "Aqua Blue", "Classic grey",
                                                         "Orange", "Light green"};

constexpr auto kLists = std::to_array<ListTemplate>({
    Items(id::kBaudList, kBaudRates),
    NumberItems(id::kAddressList, {}, 1, 247, 1),
    Items(id::kBatteryTypeList, kBatteryTypes),
    NumberItems(id::kSystemVoltageList, kSystemVoltageAuto, 12, 480, 12, "V"),
    Items(id::kLoadModeListChinese, kLoadModesChinese),
    Items(id::kLoadModeListEnglish, kLoadModesEnglish),
    Items(id::kBackgroundListChinese, kThemesChinese),
    Items(id::kBackgroundListEnglish, kThemesEnglish),
});

constexpr DialogTemplate kMainDialog{
    id::kMainDialog, "KestraneV1.3", 702, 427, "SimSun", 9, kControls, kLists, true,
};

}  // namespace

const DialogTemplate& MainDialogTemplate() {
    return kMainDialog;
}

}  // namespace kestrane
