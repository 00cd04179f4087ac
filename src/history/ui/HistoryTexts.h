// The history window's texts in both languages. Arguments are filled in with
// QString::arg (%1, %2, ...).
#pragma once

#include "monitor/DisplayText.h"

namespace kestrane::historytext {

inline constexpr LanguageText kTitle{"History", "历史记录"};
inline constexpr LanguageText kDayTab{"Day", "单日"};
inline constexpr LanguageText kDaysTab{"Days", "多日"};
inline constexpr LanguageText kPrevious{"< Previous", "< 前一天"};
inline constexpr LanguageText kNext{"Next >", "后一天 >"};
inline constexpr LanguageText kOpenFolder{"Open folder…", "打开文件夹…"};
inline constexpr LanguageText kExportPng{"Export PNG", "导出 PNG"};
inline constexpr LanguageText kPngWindowSize{"Window size…", "窗口大小…"};
inline constexpr LanguageText kPngFullHd{"1920 × 1080…", "1920 × 1080…"};
inline constexpr LanguageText kExportCsv{"Export CSV…", "导出 CSV…"};
inline constexpr LanguageText kFolder{"Folder: %1", "文件夹：%1"};
inline constexpr LanguageText kLive{"  ● following the log", "  ● 正在跟随日志"};

inline constexpr LanguageText kVoltages{"Voltages (V)", "电压 (V)"};
inline constexpr LanguageText kCurrents{"Currents (A)", "电流 (A)"};
inline constexpr LanguageText kPowers{"Powers (W)", "功率 (W)"};
inline constexpr LanguageText kTemperatures{"Temperatures (°C)", "温度 (°C)"};
inline constexpr LanguageText kPvVoltage{"PV", "光伏"};
inline constexpr LanguageText kBatteryVoltage{"Battery", "电池"};
inline constexpr LanguageText kLoadVoltage{"Load", "负载"};
inline constexpr LanguageText kChargeCurrent{"Charge", "充电"};
inline constexpr LanguageText kLoadCurrent{"Load", "负载"};
inline constexpr LanguageText kChargePower{"Charge", "充电"};
inline constexpr LanguageText kLoadPower{"Load", "负载"};
inline constexpr LanguageText kInnerTemperature{"Inner", "内部"};
inline constexpr LanguageText kBatteryTemperature{"Battery", "电池"};

inline constexpr LanguageText kCharged{"Charged (Wh)", "充电量 (Wh)"};
inline constexpr LanguageText kUsed{"Used (Wh)", "用电量 (Wh)"};
inline constexpr LanguageText kEnergyTitle{"Energy per day", "每日电量"};
inline constexpr LanguageText kAllDays{"All days", "全部日期"};
inline constexpr LanguageText kRangeTotals{"%1 days: charged %2 Wh, used %3 Wh",
                                           "%1 天：充电 %2 Wh，用电 %3 Wh"};

inline constexpr LanguageText kDayTotals{
    "Charged %1 Wh, used %2 Wh · peak charge %3 W, peak load %4 W · battery %5 – %6 V",
    "充电 %1 Wh，用电 %2 Wh · 最大充电功率 %3 W，最大负载功率 %4 W · 电池 %5 – %6 V"};
inline constexpr LanguageText kNoReadings{"No readings from the controller on this day.",
                                          "这一天没有来自控制器的数据。"};
inline constexpr LanguageText kSkippedLines{" (%1 unreadable lines skipped)",
                                            "（已跳过 %1 行无法识别的内容）"};
inline constexpr LanguageText kNoLogs{
    "No log files in this folder:\n%1\n\nWhile monitoring runs, the program writes one file a "
    "day named year_month_day_Log.csv.\nUse \"Open folder…\" to look at logs from elsewhere.",
    "此文件夹中没有日志文件：\n%1\n\n监控运行时，程序每天写一个文件，文件名为 "
    "年_月_日_Log.csv。\n可用“打开文件夹…”查看其他位置的日志。"};
inline constexpr LanguageText kNoLogForDay{"No log for %1.", "%1 没有日志。"};
inline constexpr LanguageText kWriteFailed{"The file could not be written:\n%1",
                                           "无法写入文件：\n%1"};
inline constexpr LanguageText kChooseFolder{"Log folder", "日志文件夹"};

}  // namespace kestrane::historytext
