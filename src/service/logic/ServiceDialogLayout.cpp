#include "service/logic/ServiceDialogLayout.h"

#include <array>

#include "service/logic/CalibrationRows.h"
#include "service/logic/ServiceControlIds.h"

namespace kestrane {

namespace {

using K = ServiceControlKind;
namespace st = service::style;

constexpr const char* kEnglishFont = "Times New Roman";
constexpr const char* kChineseFont = "SimSun";
constexpr int kPointSize = 9;

// --- Check Address (130) ---------------------------------------------------

constexpr ServiceControl kCheckAddressControls[] = {
    {kNoControlId, K::Static, 10, 13, 92, 10, "Current addr. number :", "当前设备地址号为：",
     st::kRight},
    {id::address::kCurrentAddress, K::Static, 106, 13, 40, 10, "0", "0", st::kNone},
    {kNoControlId, K::Static, 10, 33, 92, 10, "Enter Changed Addr. :", "输入变更的地址号：",
     st::kRight},
    {id::address::kNewAddressEdit, K::Edit, 106, 31, 40, 14, "", "", st::kNone},
    {id::address::kModifyButton, K::PushButton, 150, 31, 42, 14, "MODIFY", "修改地址", st::kNone},
};

// --- Restore (132) -----------------------------------------------------------

constexpr ServiceControl kRestoreControls[] = {
    {kNoControlId, K::Static, 14, 12, 202, 44,
     "It will clear the power generation data and operation data, and reset the battery "
     "parameters, protection parameters and load parameters! Do you want to do this?",
     "        恢复出厂设置将清空发电量数据和运行数据，重置电池参数、保护参数和负载参数！"
     "是否执行此操作？",
     st::kWordWrap},
    {id::kOkButton, K::PushButton, 52, 66, 50, 14, "OK", "确定", st::kDefault},
    {id::kCancelButton, K::PushButton, 128, 66, 50, 14, "CANCEL", "取消", st::kNone},
};

// --- Data Correction (131) ---------------------------------------------------
// One line per calibration row: label, ratio and offset as read, offset and
// measured edits, unit, CONFIRM. The identity groups follow below.

constexpr int kRowTop = 34;
constexpr int kRowPitch = 18;
constexpr int kCorrectionControlCount = 6 + 7 * id::correction::kRowCount + 14;

constexpr auto kCorrectionControls = [] {
    namespace c = id::correction;
    std::array<ServiceControl, kCorrectionControlCount> t{};
    size_t n = 0;
    t[n++] = {c::kCalibrationTitle, K::Static,  7,          6, 277, 12,
              "Data Correction",    "数据校正", st::kCenter};
    t[n++] = {kNoControlId, K::Static, 7, 22, 50, 9, "DATA", "数据名称", st::kCenter};
    t[n++] = {kNoControlId, K::Static, 60, 22, 36, 9, "RATIO", "比例参数", st::kCenter};
    t[n++] = {kNoControlId, K::Static, 100, 22, 71, 9, "OFFSET", "偏置参数", st::kCenter};
    t[n++] = {kNoControlId, K::Static, 176, 22, 52, 9, "MEASURED", "仪表测量值", st::kCenter};
    t[n++] = {kNoControlId, K::Static, 232, 22, 52, 9, "IMPLEMENT", "点击确认", st::kCenter};
    for (int row = 0; row < c::kRowCount; ++row) {
        const CalibrationRow& r = kCalibrationRows[row];
        const int y = kRowTop + kRowPitch * row;
        t[n++] = {kNoControlId,    K::Static,       7,        y + 2, 50, 10,
                  r.label.english, r.label.chinese, st::kNone};
        t[n++] = {c::kFirstRatioStatic + row, K::Static, 60, y + 1, 36, 12, "0", "0",
                  st::kSunken | st::kCenter};
        t[n++] = {c::kFirstOffsetStatic + row, K::Static, 100, y + 1, 34, 12, "0", "0",
                  st::kSunken | st::kCenter};
        t[n++] = {c::kFirstOffsetEdit + row, K::Edit, 137, y, 34, 14, "", "", st::kNone};
        t[n++] = {c::kFirstMeasuredEdit + row, K::Edit, 176, y, 40, 14, "", "", st::kNone};
        t[n++] = {kNoControlId,   K::Static,      218,      y + 2, 10, 10,
                  r.unit.english, r.unit.chinese, st::kNone};
        t[n++] = {c::kFirstConfirmButton + row,
                  K::PushButton,
                  232,
                  y,
                  52,
                  14,
                  "CONFIRM",
                  "校正",
                  st::kNone};
    }
    // Standard product: serial number 1-9999, dated today.
    t[n++] = {c::kStandardTitle, K::Static, 7, 148, 277, 10, "Standard product factory settings",
              "标品出厂设置项",  st::kNone};
    t[n++] = {c::kStandardGroup, K::GroupBox, 7, 158, 277, 26, "", "", st::kNone};
    t[n++] = {c::kSerialLabel,
              K::Static,
              13,
              167,
              138,
              10,
              "Write serial number: [1~9999]",
              "写入串号（常规品序号）：[1~9999]",
              st::kNone};
    t[n++] = {c::kSerialEdit, K::Edit, 154, 165, 70, 14, "", "", st::kRight};
    t[n++] = {c::kSerialButton, K::PushButton, 230, 165, 50, 14, "CONFIRM", "确认写入", st::kNone};
    // Customised product: the whole serial number and the model name.
    t[n++] = {c::kCustomTitle,
              K::Static,
              7,
              192,
              277,
              10,
              "Factory setting items of customized products",
              "定制品出厂设置项",
              st::kNone};
    t[n++] = {c::kCustomGroup, K::GroupBox, 7, 202, 277, 44, "", "", st::kNone};
    t[n++] = {c::kCustomSerialLabel,      K::Static, 13, 211, 138, 10, "Write serial number:",
              "写入串号（全定制串号）：", st::kNone};
    t[n++] = {c::kCustomSerialEdit, K::Edit, 154, 209, 70, 14, "", "", st::kNone};
    t[n++] = {
        c::kCustomSerialButton, K::PushButton, 230, 209, 50, 14, "CONFIRM", "确认写入", st::kNone};
    t[n++] = {c::kModelLabel,
              K::Static,
              13,
              229,
              138,
              10,
              "Write model (customized ):",
              "写入型号（全定制型号）：",
              st::kNone};
    t[n++] = {c::kModelEdit, K::Edit, 154, 227, 70, 14, "", "", st::kNone};
    t[n++] = {c::kModelButton, K::PushButton, 230, 227, 50, 14, "CONFIRM", "确认写入", st::kNone};
    t[n++] = {c::kTip, K::Static, 7, 254, 277, 30, "Tip:", "操作提示：", st::kWordWrap};
    if (n != t.size()) throw "the control count does not match the table";
    return t;
}();

// --- Set Time (133) ----------------------------------------------------------
// The English unit labels are wider than the Chinese ones, so each language
// has its own geometry.

namespace timeIds = id::settime;

constexpr ServiceControl kSetTimeEnglishControls[] = {
    {kNoControlId, K::Static, 8, 14, 56, 10, "LOCAL TIME:", "本地时间：", st::kNone},
    {timeIds::kLocalTime, K::Static, 66, 14, 130, 10, "2022-01-10   12:33:45",
     "2022年01月10日12时33分45秒", st::kNone},
    {kNoControlId, K::Static, 8, 42, 28, 10, "DATA:", "日期：", st::kNone},
    {timeIds::kYearList, K::EditableDropDown, 38, 40, 36, 14, "", "", st::kNone},
    {kNoControlId, K::Static, 76, 42, 28, 10, "YEAR", "年", st::kNone},
    {timeIds::kMonthList, K::EditableDropDown, 106, 40, 28, 14, "", "", st::kNone},
    {kNoControlId, K::Static, 136, 42, 34, 10, "MONTH", "月", st::kNone},
    {timeIds::kDayList, K::EditableDropDown, 172, 40, 28, 14, "", "", st::kNone},
    {kNoControlId, K::Static, 202, 42, 34, 10, "DAY", "日", st::kNone},
    {kNoControlId, K::Static, 8, 68, 28, 10, "TIME:", "时间：", st::kNone},
    {timeIds::kHourList, K::EditableDropDown, 38, 66, 36, 14, "", "", st::kNone},
    {kNoControlId, K::Static, 76, 68, 28, 10, "HOUR", "时", st::kNone},
    {timeIds::kMinuteList, K::EditableDropDown, 106, 66, 28, 14, "", "", st::kNone},
    {kNoControlId, K::Static, 136, 68, 34, 10, "MINUTE", "分", st::kNone},
    {timeIds::kSecondList, K::EditableDropDown, 172, 66, 28, 14, "", "", st::kNone},
    {kNoControlId, K::Static, 202, 68, 34, 10, "SECOND", "秒", st::kNone},
    {timeIds::kLocalTimeButton, K::PushButton, 38, 104, 72, 16, "LOCAL TIME", "载入本地时间",
     st::kNone},
    {timeIds::kConfirmButton, K::PushButton, 130, 104, 72, 16, "CONFIRM", "确认开始同步",
     st::kNone},
};

constexpr ServiceControl kSetTimeChineseControls[] = {
    {kNoControlId, K::Static, 8, 14, 42, 10, "LOCAL TIME:", "本地时间：", st::kNone},
    {timeIds::kLocalTime, K::Static, 52, 14, 130, 10, "2022-01-10   12:33:45",
     "2022年01月10日12时33分45秒", st::kNone},
    {kNoControlId, K::Static, 8, 42, 26, 10, "DATA:", "日期：", st::kNone},
    {timeIds::kYearList, K::EditableDropDown, 36, 40, 44, 14, "", "", st::kNone},
    {kNoControlId, K::Static, 82, 42, 10, 10, "YEAR", "年", st::kNone},
    {timeIds::kMonthList, K::EditableDropDown, 96, 40, 36, 14, "", "", st::kNone},
    {kNoControlId, K::Static, 134, 42, 10, 10, "MONTH", "月", st::kNone},
    {timeIds::kDayList, K::EditableDropDown, 148, 40, 36, 14, "", "", st::kNone},
    {kNoControlId, K::Static, 186, 42, 10, 10, "DAY", "日", st::kNone},
    {kNoControlId, K::Static, 8, 68, 26, 10, "TIME:", "时间：", st::kNone},
    {timeIds::kHourList, K::EditableDropDown, 36, 66, 44, 14, "", "", st::kNone},
    {kNoControlId, K::Static, 82, 68, 10, 10, "HOUR", "时", st::kNone},
    {timeIds::kMinuteList, K::EditableDropDown, 96, 66, 36, 14, "", "", st::kNone},
    {kNoControlId, K::Static, 134, 68, 10, 10, "MINUTE", "分", st::kNone},
    {timeIds::kSecondList, K::EditableDropDown, 148, 66, 36, 14, "", "", st::kNone},
    {kNoControlId, K::Static, 186, 68, 10, 10, "SECOND", "秒", st::kNone},
    {timeIds::kLocalTimeButton, K::PushButton, 36, 104, 64, 16, "LOCAL TIME", "载入本地时间",
     st::kNone},
    {timeIds::kConfirmButton, K::PushButton, 116, 104, 64, 16, "CONFIRM", "确认开始同步",
     st::kNone},
};

// Hours 1-24 and minutes and seconds 1-60, as the operator is used to them.
constexpr ServiceListRange kSetTimeLists[] = {
    {timeIds::kYearList, 2020, 2040}, {timeIds::kMonthList, 1, 12},  {timeIds::kDayList, 1, 31},
    {timeIds::kHourList, 1, 24},      {timeIds::kMinuteList, 1, 60}, {timeIds::kSecondList, 1, 60},
};

// --- The four dialogs --------------------------------------------------------

constexpr ServiceDialogLayout kLayouts[] = {
    {id::address::kDialog,
     {"Check Address", 200, 58, kEnglishFont, kPointSize, kCheckAddressControls},
     {"查询设备地址", 200, 58, kChineseFont, kPointSize, kCheckAddressControls},
     {}},
    {id::correction::kDialog,
     {"Data Correction", 291, 291, kEnglishFont, kPointSize, kCorrectionControls},
     {"数据校正", 292, 295, kChineseFont, kPointSize, kCorrectionControls},
     {}},
    {id::restore::kDialog,
     {"RESTORE", 230, 88, kEnglishFont, kPointSize, kRestoreControls},
     {"恢复出厂设置", 230, 88, kChineseFont, kPointSize, kRestoreControls},
     {}},
    {id::settime::kDialog,
     {"SET TIME", 241, 142, kEnglishFont, kPointSize, kSetTimeEnglishControls},
     {"时钟同步设置", 216, 141, kChineseFont, kPointSize, kSetTimeChineseControls},
     kSetTimeLists},
};

}  // namespace

std::span<const ServiceDialogLayout> ServiceDialogLayouts() {
    return kLayouts;
}

const ServiceDialogLayout* FindServiceDialogLayout(int dialogId) {
    for (const ServiceDialogLayout& layout : kLayouts)
        if (layout.id == dialogId) return &layout;
    return nullptr;
}

}  // namespace kestrane
